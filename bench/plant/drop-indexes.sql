-- Drops what indexes.sql makes again, so that the load writes the table alone.
DO $$
DECLARE
  name text;
BEGIN
  FOR name IN SELECT conname FROM pg_constraint
              WHERE conrelid = 'inspection'::regclass AND contype = 'u' LOOP
    EXECUTE format('ALTER TABLE inspection DROP CONSTRAINT %I', name);
  END LOOP;
  FOR name IN SELECT indexrelid::regclass::text FROM pg_index
              WHERE indrelid = 'inspection'::regclass AND NOT indisprimary LOOP
    EXECUTE format('DROP INDEX %s', name);
  END LOOP;
END $$;
