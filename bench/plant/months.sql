-- Where the records table is partitioned, a partition for each month of the data set that the
-- layout has not made; a month it holds already is left as it is.
SELECT set_config('bench.days', :'days', false) \gset
DO $$
DECLARE
  first date := date_trunc('month', date '2026-12-11' - current_setting('bench.days')::int);
  month date;
BEGIN
  IF (SELECT relkind FROM pg_class WHERE oid = 'inspection'::regclass) <> 'p' THEN
    RETURN;
  END IF;
  month := first;
  WHILE month < date '2027-01-01' LOOP
    BEGIN
      EXECUTE format('CREATE TABLE %I PARTITION OF inspection FOR VALUES FROM (%L) TO (%L)',
                     'inspection_bench_' || to_char(month, 'YYYYMM'), month::text,
                     (month + interval '1 month')::date::text);
    EXCEPTION WHEN invalid_object_definition OR duplicate_table THEN
      NULL;
    END;
    month := (month + interval '1 month')::date;
  END LOOP;
END $$;
