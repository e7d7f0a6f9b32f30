-- The records table's indexes and unique constraints as the layout made them, each as the
-- statement that makes it again (the primary key stays): read before the load drops them.
SELECT format('ALTER TABLE inspection ADD CONSTRAINT %I %s;', conname, pg_get_constraintdef(oid))
FROM pg_constraint WHERE conrelid = 'inspection'::regclass AND contype = 'u'
UNION ALL
SELECT pg_get_indexdef(indexrelid) || ';' FROM pg_index
WHERE indrelid = 'inspection'::regclass AND NOT indisprimary
  AND indexrelid NOT IN (SELECT conindid FROM pg_constraint WHERE conrelid = 'inspection'::regclass);
