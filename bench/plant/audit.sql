-- Each station's trail over the data set's :days days: its shifts set once at the start, a
-- login at each shift and a logout at its end, a master saved each day. Linked by prev_hash, but
-- each hash is of the row's place, not of its canonical text: a check of the chain finds it broken
-- at the first row, after reading it all as it would.
SET session_replication_role = replica;
INSERT INTO audit (station, seq, at, user_name, role, action, object, before_value, after_value,
                   reason, prev_hash, hash, software_version, received_at)
WITH e AS (
  SELECT s, 0 AS k, 'settings changed' AS action, 'reference/shifts' AS object,
         '06:00, 14:00, 22:00' AS after_value, timestamp '2026-12-11' - :days * interval '1 day'
           AS t
  FROM generate_series(1, 20) s
  UNION ALL
  SELECT s, 1 + d * 7 + h, CASE WHEN h = 6 THEN 'master saved' WHEN h % 2 = 0 THEN 'login'
                               ELSE 'logout' END,
         CASE WHEN h = 6 THEN 'MODEL-' || (s + d / 7) % 8 ELSE 'op' || ((s - 1) * 3 + h / 2) END,
         '', timestamp '2026-12-11' - :days * interval '1 day' + d * interval '1 day'
               + (6 + 8 * (h / 2)) * interval '1 hour' + (h % 2) * interval '7 hours 50 minutes'
  FROM generate_series(1, 20) s, generate_series(0, :days - 1) d, generate_series(0, 6) h
), r AS (
  SELECT 'ST-' || lpad(s::text, 2, '0') AS station,
         row_number() OVER (PARTITION BY s ORDER BY t, k) AS seq, t, action, object, after_value
  FROM e
)
SELECT station, seq, to_char(t, 'YYYY-MM-DD"T"HH24:MI:SS.MS') || '+09:00', 'engineer',
       'engineer', action, object, '', after_value, '',
       CASE WHEN seq = 1 THEN repeat('0', 64)
            ELSE encode(sha256(convert_to(station || (seq - 1), 'UTF8')), 'hex') END,
       encode(sha256(convert_to(station || seq, 'UTF8')), 'hex'), '1.0.0',
       t AT TIME ZONE interval '+09:00'
FROM r;
INSERT INTO audit_head (station, seq, hash)
  SELECT station, max(seq), encode(sha256(convert_to(station || max(seq), 'UTF8')), 'hex')
  FROM audit GROUP BY station;
