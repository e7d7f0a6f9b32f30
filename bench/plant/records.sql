-- Rows :lo to :hi - 1 of the data set as COPY text on standard output, the columns :cols.
-- Row g is station g % 20's unit n = g / 20; its day n / :per_day, counted from :days days
-- before 2026-12-11, and its place in the day's three shifts. One unit in 33 fails and is tested
-- again at once (attempt 2, the same serial); one in 97 fails for good; one in 211 is incomplete.
-- The standard wave is its master's, the measured one of a pool of 997, each taken from an array
-- by its place, so that the rows come out in g's order: a day's records lie together in the table
-- as a station's arrive.
CREATE TEMP TABLE std AS
  SELECT m, decode(string_agg(lpad(to_hex((128 + 100 * sin(k / 9.0) * exp(-k / 120.0))::int), 2,
                                   '0'), '' ORDER BY k), 'hex') AS wave
  FROM generate_series(0, 7) m, generate_series(0, 299) k GROUP BY m;
CREATE TEMP TABLE pool AS
  SELECT p, decode(string_agg(lpad(to_hex(128 + (100 * sin(k / (9.0 + p % 7 / 10.0))
                                   * exp(-k / 120.0))::int + (random() * 6)::int - 3), 2, '0'),
                              '' ORDER BY k), 'hex') AS wave
  FROM generate_series(0, 996) p, generate_series(0, 299) k GROUP BY p;
COPY (
  WITH waves AS (
    SELECT (SELECT array_agg(wave ORDER BY m) FROM std) AS standard,
           (SELECT array_agg(wave ORDER BY p) FROM pool) AS measured
  ), u AS (
    SELECT g, g % 20 AS st, g / 20 AS n, (g / 20) / :per_day AS day, (g / 20) % :per_day AS j
    FROM generate_series(:lo::bigint, :hi::bigint - 1) g
  ), v AS (
    SELECT *, LEAST(j / (:per_day / 3), 2) AS shift, n % 33 AS c, (st + day / 7) % 8 AS m FROM u
  ), w AS (
    SELECT *, timestamp '2026-12-11' - :days * interval '1 day' + day * interval '1 day'
              + (6 + 8 * shift) * interval '1 hour' + interval '30 minutes'
              + (j - shift * (:per_day / 3)) * interval '1.5 seconds' + st * interval '70 ms' AS t,
              CASE WHEN n % 211 = 7 THEN 'incomplete' WHEN c = 0 OR n % 97 = 50 THEN 'N.G'
                   ELSE 'O.K' END AS outcome
    FROM v
  ), r AS (
    SELECT md5('bench' || g)::uuid::text AS uuid, 'ST-' || lpad((st + 1)::text, 2, '0') AS station,
           to_char(t, 'YYYY-MM-DD"T"HH24:MI:SS.MS') || '+09:00' AS started_at,
           to_char(t + interval '1.2 s', 'YYYY-MM-DD"T"HH24:MI:SS.MS') || '+09:00' AS ended_at,
           'K' || lpad((st + 1)::text, 2, '0') || '-' || lpad((n - (c = 1)::int)::text, 8, '0')
             AS serial,
           'MODEL-' || m AS master, 'MODEL-' || m AS model_no, 1.5 + m / 10.0 AS voltage,
           100 AS width, 3 AS pulse_no, 10 AS judge, (g * 7) % 40 AS area, (g * 13) % 30 AS phase,
           outcome, CASE WHEN outcome = 'incomplete' THEN 'WS' ELSE '' END AS stopped_at,
           waves.standard[m + 1] AS standard_wave,
           CASE WHEN outcome = 'incomplete' THEN NULL ELSE waves.measured[g % 997 + 1] END
             AS measured_wave,
           'op' || (st * 3 + shift) AS operator,
           encode(sha256(convert_to('MODEL-' || m || '/1', 'UTF8')), 'hex') AS master_version,
           '1.0.0' AS software_version,
           CASE WHEN outcome = 'incomplete' THEN 0 WHEN c = 1 THEN 2 ELSE 1 END AS attempt,
           0 AS reference, 12000 + g % 500 AS ringing_frequency, 0.1 + g % 100 / 1000.0 AS damping,
           g % 50 / 10.0 AS error_area, g % 40 / 10.0 AS standard_error_area,
           g % 30 / 100.0 AS hf_energy, (g % 500 = 3)::int AS wave_alarm,
           CASE WHEN g % 500 = 3 THEN 'area' END AS wave_rule,
           (t + interval '1.5 s') AT TIME ZONE interval '+09:00' AS received_at
    FROM waves, w
  )
  SELECT :cols FROM r
) TO STDOUT;
