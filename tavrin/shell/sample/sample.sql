-- Builds the sample database the way the package import does (a table script, then one
-- tab dump and one comma dump) and prints what it loaded.
.read tables.sql
.separator "\t"
.import sessions.tsv sessions
.separator ,
.import commands.csv commands
.print Sessions:
.mode column
.headers on
.width 3 8 10 13 19
SELECT id, operator, client_ip, server_ip, started FROM sessions ORDER BY id;
.print
.print Commands per session:
.mode list
.separator " | "
SELECT s.operator, c.seq, c.command
  FROM commands c JOIN sessions s ON s.id = c.session_id
 ORDER BY s.id, c.seq;
