-- The columns of the server's records table that records.sql fills, in the table's order.
SELECT attname FROM pg_attribute
WHERE attrelid = 'inspection'::regclass AND attnum > 0 AND NOT attisdropped
  AND attname = ANY (ARRAY['uuid', 'station', 'started_at', 'ended_at', 'serial', 'master',
    'model_no', 'voltage', 'width', 'pulse_no', 'judge', 'area', 'phase', 'outcome', 'stopped_at',
    'standard_wave', 'measured_wave', 'operator', 'master_version', 'software_version', 'attempt',
    'reference', 'ringing_frequency', 'damping', 'error_area', 'standard_error_area', 'hf_energy',
    'wave_alarm', 'wave_rule', 'received_at'])
ORDER BY attnum;
