-- Tables of the sample: operator sessions and the commands typed in them.
CREATE TABLE sessions(
    id TEXT,
    operator TEXT,
    client_ip TEXT,
    server_ip TEXT,
    started TEXT
);
CREATE TABLE commands(session_id TEXT, seq TEXT, command TEXT);
CREATE INDEX commands_session ON commands(session_id);
