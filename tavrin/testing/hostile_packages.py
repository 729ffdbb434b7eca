#!/usr/bin/env python3
"""Builds hostile variants of a package for the import tests.

  hostile_packages.py CASE BASE.tar OUT.tar OUTSIDE

BASE.tar is a well-formed package (scripts/make_sample_package.py writes one); OUT.tar gets
its members with the changes of CASE. OUTSIDE is a folder of the test's own that every escape
aims at, by absolute path or by as many ".." as lead there from the work folder, so an escape
that succeeded would still stay inside the test's folder. Names are bytes (GNU format,
surrogate escapes), so GBK names go in as they are.
"""

import io
import os
import sys
import tarfile
import zipfile

ENC = dict(encoding="utf-8", errors="surrogateescape")


def b(text):
    return text.encode("utf-8", "surrogateescape").decode("utf-8", "surrogateescape")


def raw(data):
    return data.decode("utf-8", "surrogateescape")


def file_info(name, data):
    info = tarfile.TarInfo(name)
    info.size = len(data)
    info.mode = 0o644
    info.mtime = 1473000000
    return info, io.BytesIO(data)


def link_info(name, target, kind=tarfile.SYMTYPE):
    info = tarfile.TarInfo(name)
    info.type = kind
    info.linkname = target
    info.mode = 0o777 if kind == tarfile.SYMTYPE else 0o644
    info.mtime = 1473000000
    return info


def special_info(name, kind, major=0, minor=0):
    info = tarfile.TarInfo(name)
    info.type = kind
    info.devmajor = major
    info.devminor = minor
    info.mode = 0o644
    info.mtime = 1473000000
    return info


def main():
    case, base, out, outside = sys.argv[1:5]
    with tarfile.open(base, "r", **ENC) as src:
        members = [(m, src.extractfile(m).read() if m.isfile() else None) for m in src.getmembers()]
    dump = next(m.name for m, _ in members if m.isdir() and "/backup_log/data_" in m.name)
    # From the dump folder: up to the work folder (4 levels), the program folder, the test's.
    up_from_dump = "../" * 6
    up_from_work = "../../"
    secret = os.path.join(outside, "secret.bak")

    replace = {}   # member name -> new TarInfo (and data) instead of the original
    extra = []     # (TarInfo, data or None) added at the end
    if case == "plain":
        pass
    elif case == "dotdot":
        extra.append(file_info(up_from_work + "outside/dotdot.txt", b"escaped\n"))
        extra.append(file_info("var/../../../outside/dotdot2.txt", b"escaped\n"))
    elif case == "absolute":
        extra.append(file_info(os.path.join(outside, "absolute.txt"), b"escaped\n"))
    elif case == "symlink_absolute":
        replace[dump + "/unix_sms_log.bak"] = (link_info(dump + "/unix_sms_log.bak", secret), None)
    elif case == "symlink_relative":
        replace[dump + "/unix_vsms_log.bak"] = (
            link_info(dump + "/unix_vsms_log.bak", up_from_dump + "outside/secret.bak"), None)
    elif case == "symlink_chained":
        replace[dump + "/utm2dba.bak"] = (link_info(dump + "/utm2dba.bak", "hop1"), None)
        extra.append((link_info(dump + "/hop1", "../hop2"), None))
        extra.append((link_info("var/tmp/backup_log/hop2", secret), None))
        # A folder link out, then the sessions directory's files reached through it.
        extra.append((link_info("var/utm/data/out", outside), None))
    elif case == "write_through":
        extra.append((link_info("var/tmp/esc", os.path.join(outside, "escdir")), None))
        extra.append(file_info("var/tmp/esc/written.txt", b"written through a link\n"))
        extra.append((link_info(dump + "/w_text_matrix1.bak", os.path.join(outside, "victim_link.txt")), None))
        extra.append((link_info("mysql.sql", os.path.join(outside, "victim_link.txt")), None))
    elif case == "hardlink":
        extra.append((link_info(dump + "/w_text_matrix1.bak", os.path.join(outside, "victim.txt"),
                                tarfile.LNKTYPE), None))
        extra.append((link_info("utm_dba_scan.bak", up_from_work + "outside/victim.txt",
                                tarfile.LNKTYPE), None))
        extra.append((link_info(dump + "/copy_of_sms.bak", dump + "/unix_sms_log.bak",
                                tarfile.LNKTYPE), None))
    elif case == "special":
        replace[dump + "/unix_xfer_log.bak"] = (
            special_info(dump + "/unix_xfer_log.bak", tarfile.CHRTYPE, 1, 5), None)
        replace[dump + "/unix_xapp_log.bak"] = (
            special_info(dump + "/unix_xapp_log.bak", tarfile.FIFOTYPE), None)
        extra.append((special_info("var/utm/data/sessions/null", tarfile.CHRTYPE, 1, 3), None))
        extra.append((special_info("var/utm/data/sessions/disk", tarfile.BLKTYPE, 7, 0), None))
    elif case == "zip":
        with zipfile.ZipFile(out, "w") as z:
            for m, data in members:
                if m.isfile():
                    z.writestr(m.name, data)
        return
    elif case == "truncated":
        with open(base, "rb") as f:
            data = f.read()
        with open(out, "wb") as f:
            f.write(data[: len(data) // 2 + 100])
        return
    elif case == "long_name":
        extra.append(file_info("var/utm/data/sessions/" + "n" * 300, b"long\n"))
        extra.append(file_info("var/" + "/".join(["d" * 200] * 20) + "/deep.txt", b"deep\n"))
    elif case == "deep_tree":
        # 1,500 nested folders, a file and a link out at the bottom: more levels than a usual
        # open-file limit has descriptors.
        deep = "var/deep/" + "d/" * 1500
        extra.append(file_info(deep + "bottom.txt", b"bottom\n"))
        extra.append((link_info(deep + "out", secret), None))
    elif case == "gbk":
        extra.append(file_info(raw(b"var/utm/data/sessions/\xb2\xe2\xca\xd4.txt"), b"gbk\n"))
        extra.append((link_info(raw(b"var/utm/data/sessions/\xc1\xb4\xbd\xd3"), secret), None))
    elif case == "duplicate":
        name = dump + "/unix_sms_log.bak"
        first = next(data for m, data in members if m.name == name)
        extra.append(file_info(name, first))
        extra.append(file_info(name, first))
    elif case == "long_lines":
        # One row of the 13 columns whose command column is 10 MB long.
        extra_line = b"999\t" + b"x" * (10 * 1024 * 1024) + b"\t" * 11 + b"end"
        for m, data in members:
            if m.name == dump + "/unix_sms_log.bak":
                replace[m.name] = file_info(m.name, data + extra_line + b"\n" + data)
            elif m.name == dump + "/sub_table_sms.sql":
                insert = b"INSERT INTO `long_t` VALUES ('" + b"y" * (10 * 1024 * 1024) + b"');\n"
                replace[m.name] = file_info(
                    m.name, b"CREATE TABLE `long_t` (\n  `v` text\n) ENGINE=InnoDB;\n" + insert + data)
            elif m.name == dump + "/utm_dba_scan.bak":
                replace[m.name] = file_info(m.name, data + b'"' + b'\\"' * (5 * 1024 * 1024) + b'"\n')
    elif case == "sql_outside":
        for m, data in members:
            if m.name == dump + "/sub_table_sms.sql":
                o = outside.encode()
                lines = [
                    b"CREATE TABLE `hostile_t` (a);ATTACH DATABASE '" + o + b"/attach1.db' AS x1;",
                    b"  ATTACH DATABASE '" + o + b"/attach2.db' AS x2;",
                    b"  VACUUM INTO '" + o + b"/vacuum1.db';",
                    b"  SELECT load_extension('" + o + b"/ext.so');",
                    b"  PRAGMA main.journal_mode = WAL;",
                    b") ENGINE=InnoDB;",
                    b"INSERT INTO hostile_t SELECT 1;ATTACH '" + o + b"/attach3.db' AS x3;SELECT (1);",
                    b"INSERT INTO hostile_t SELECT 2;VACUUM INTO '" + o + b"/vacuum2.db';SELECT (2);",
                    b"INSERT INTO hostile_t VALUES (3);",
                    b"INSERT INTO hostile_t SELECT writefile('" + o + b"/written.bin', 'x') WHERE (1);",
                ]
                replace[m.name] = file_info(m.name, b"\n".join(lines) + b"\n" + data)
    elif case == "unbalanced_quote":
        # One stray double quote in one field: the engine's .import rolls the table back.
        for m, data in members:
            if m.name == dump + "/unix_sms_log.bak":
                first, rest = data.split(b"\n", 1)
                replace[m.name] = file_info(m.name, first.replace(b"\t", b'\t"', 1) + b"\n" + rest)
    elif case == "sql_endless":
        # One definition that never ends and writes nothing: only a stop ends it.
        for m, data in members:
            if m.name == dump + "/sub_table_sms.sql":
                replace[m.name] = file_info(
                    m.name, b"CREATE TABLE t AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                    b"SELECT x+1 FROM c) SELECT x FROM c WHERE x < 0;\n" + data)
    elif case == "row_fails":
        # One row statement that cannot be stored: the background load is left incomplete.
        for m, data in members:
            if m.name == dump + "/sub_table_sms.sql":
                replace[m.name] = file_info(
                    m.name, data + b"INSERT INTO `no_such_table` VALUES (1);\n")
    elif case == "sql_unbounded":
        # Views and triggers that would run later, inside the browser's and the players'
        # queries, and 123 bytes that would fill the disk with random blobs.
        for m, data in members:
            if m.name == dump + "/sub_table_sms.sql":
                key = data.split(b"CREATE TABLE `", 1)[1].split(b"`", 1)[0]
                lines = [
                    b"  CREATE VIEW `" + key + b"_v` AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL "
                    b"SELECT x+1 FROM c) SELECT x AS flag FROM c WHERE x < 0;",
                    b"  CREATE TRIGGER tr AFTER INSERT ON `" + key + b"` BEGIN SELECT 1; END;",
                    b"CREATE TABLE b AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 "
                    b"FROM c) SELECT randomblob(10000) FROM c;",
                ]
                replace[m.name] = file_info(m.name, data + b"\n".join(lines) + b"\n")
    else:
        sys.exit("unknown case " + case)

    with tarfile.open(out, "w", format=tarfile.GNU_FORMAT, **ENC) as tar:
        for m, data in members:
            if m.name in replace:
                info, stream = replace[m.name] if isinstance(replace[m.name], tuple) else (replace[m.name], None)
                tar.addfile(info, stream)
            else:
                tar.addfile(m, io.BytesIO(data) if data is not None else None)
        for info, stream in extra:
            tar.addfile(info, stream)


if __name__ == "__main__":
    main()
