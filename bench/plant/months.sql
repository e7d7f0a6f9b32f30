-- Where the records table is partitioned, the partitions of the data set's months, made as the
-- layout makes them (surge_keep_partitions); a month it holds already is left as it is.
SELECT set_config('bench.days', :'days', false) \gset
DO $$
BEGIN
  IF (SELECT relkind FROM pg_class WHERE oid = 'inspection'::regclass) <> 'p' THEN
    RETURN;
  END IF;
  PERFORM surge_keep_partitions(ARRAY(
      SELECT to_char(month, 'YYYY-MM') FROM generate_series(
        date_trunc('month', date '2026-12-11' - current_setting('bench.days')::int),
        date '2026-12-01', interval '1 month') AS month), 0);
END $$;
