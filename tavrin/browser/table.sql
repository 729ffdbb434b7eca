-- Tables of Parent.db, the audit tables of one imported package. The dumps of a package are
-- imported into these tables in column order, so a table's columns must stay in the order
-- of the appliance's dump files: the browser reads rows of "select *" by position.

-- Large pages: the browser counts and pages through whole tables of up to millions of rows,
-- and each page of the file is one read. Takes effect because the database is new.
PRAGMA page_size = 65536;

-- Character sessions and file transfers: one layout for both (13 columns).
CREATE TABLE IF NOT EXISTS unix_sms_log (
    id            INTEGER,  -- 0
    device_id     TEXT,     -- 1
    uhost_addr    TEXT,     -- 2  host the operator reached
    protocol      TEXT,     -- 3
    login_time    TEXT,     -- 4  "2013-05-07 08:00:00"
    login_addr    TEXT,     -- 5  operator's address
    login_name    TEXT,     -- 6  operator's account
    remote_name   TEXT,     -- 7  account on the host
    session_key   TEXT,     -- 8  names the session's table in child.db
    record_path   TEXT,     -- 9  appliance path of the session's text record
    extra_path    TEXT,     -- 10 appliance path of the session's second file
    status        TEXT,     -- 11
    end_time      TEXT      -- 12
);

CREATE TABLE IF NOT EXISTS unix_xfer_log (
    id            INTEGER,  -- 0
    device_id     TEXT,     -- 1
    uhost_addr    TEXT,     -- 2
    protocol      TEXT,     -- 3
    login_time    TEXT,     -- 4
    login_addr    TEXT,     -- 5
    login_name    TEXT,     -- 6
    remote_name   TEXT,     -- 7
    session_key   TEXT,     -- 8
    record_path   TEXT,     -- 9
    extra_path    TEXT,     -- 10
    status        TEXT,     -- 11
    end_time      TEXT      -- 12
);

-- Graphical sessions of two kinds: one layout for both (14 columns). Both must keep the same
-- number of columns, because one query unites "select *" of both.
CREATE TABLE IF NOT EXISTS unix_vsms_log (
    id            INTEGER,  -- 0
    play_code     INTEGER,  -- 1  handed to the player
    device_id     TEXT,     -- 2
    login_time    TEXT,     -- 3
    login_addr    TEXT,     -- 4
    login_name    TEXT,     -- 5
    uhost_addr    TEXT,     -- 6
    remote_name   TEXT,     -- 7
    session_name  TEXT,     -- 8  recording name, also the key of vsms_xapp_tab
    width         INTEGER,  -- 9  screen width
    height        INTEGER,  -- 10 screen height
    protocol      TEXT,     -- 11
    status        TEXT,     -- 12
    end_time      TEXT      -- 13
);

CREATE TABLE IF NOT EXISTS unix_xapp_log (
    id            INTEGER,  -- 0
    play_code     INTEGER,  -- 1
    device_id     TEXT,     -- 2
    login_time    TEXT,     -- 3
    login_addr    TEXT,     -- 4
    login_name    TEXT,     -- 5
    uhost_addr    TEXT,     -- 6
    remote_name   TEXT,     -- 7
    session_name  TEXT,     -- 8
    width         INTEGER,  -- 9
    height        INTEGER,  -- 10
    protocol      TEXT,     -- 11
    status        TEXT,     -- 12
    end_time      TEXT      -- 13
);

-- Application records of graphical sessions: exactly 10 columns, because the joined view
-- appends five session columns behind them and reads those at positions 10 to 14.
CREATE TABLE IF NOT EXISTS vsms_xapp_tab (
    id            INTEGER,  -- 0
    play_code     INTEGER,  -- 1  handed to the player
    start_date    TEXT,     -- 2  "2013-05-07"
    start_clock   TEXT,     -- 3  "08:00:00"
    remote_addr   TEXT,     -- 4
    remote_name   TEXT,     -- 5
    session_name  TEXT,     -- 6  recording name and join key
    app_name      TEXT,     -- 7
    app_path      TEXT,     -- 8
    status        TEXT      -- 9
);

-- Scan index read by the scan viewer: rows whose utm equals a scan key name its scan files.
CREATE TABLE IF NOT EXISTS utm2dba (
    id            INTEGER,  -- 0
    utm           TEXT,     -- 1  scan key (a recording name)
    scan_file     TEXT,     -- 2  file name under var/utm/data/sessions/
    scan_time     TEXT      -- 3
);

CREATE TABLE IF NOT EXISTS utm_xapp_scan (
    id            INTEGER,
    session_name  TEXT,
    scan_time     TEXT,
    scan_text     TEXT
);

CREATE TABLE IF NOT EXISTS utm_dba_scan (
    id            INTEGER,
    session_name  TEXT,
    scan_time     TEXT,
    scan_text     TEXT
);

-- Window texts of graphical sessions; its presence adds a third action column.
CREATE TABLE IF NOT EXISTS w_text_matrix (
    id            INTEGER,
    session_name  TEXT,
    window_time   TEXT,
    window_title  TEXT,
    window_text   TEXT
);
