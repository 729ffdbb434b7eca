#!/usr/bin/env python3
"""Writes a realistic audit-log package (.tar) for Tavrin, and the row counts it holds.

The package looks like an appliance export: the table dumps of one date range under
var/tmp/backup_log/, the per-session SQL dump sub_table_sms.sql, and the session text records,
second files, recordings and scan files under var/utm/data/sessions/. Text is GBK, the
appliance's code page. The same seed and parameters always give the same bytes.

Beside PACKAGE.tar it writes PACKAGE.json with what a correct import must produce: the number
of rows of every table of Parent.db and child.db, the package name, its dates and dump folder;
and PACKAGE.counts with the same row counts as lines "parent|child TABLE ROWS".

Examples:
  make_sample_package.py --out /tmp/pk                       # small sample, 3 pages of sessions
  make_sample_package.py --out /tmp/pk --size-mb 500         # about 500 MB for benchmarks
  make_sample_package.py --out /tmp/pk --no-tab --no-matrix  # without the optional dumps
"""

import argparse
import io
import json
import os
import random
import shutil
import sys
import tarfile
import tempfile

GBK = "gbk"

# Words used for names and texts. Characters whose GBK form has a backslash (0x5C) as trail
# byte are left out: the appliance's MySQL export would have escaped those bytes, and
# the dumps here must mean exactly what the counts below say.
_WORDS = ("张三 李四 王五 赵六 钱七 孙八 管理员 运维 审计员 数据库 服务器 登录 退出 成功 失败 "
          "命令 确定 取消 文件 传输 备份 网关 主机 核心 交换机 防火墙 日志 查询 修改 删除 "
          "用户 密码 配置 重启 检查 磁盘 内存 网络 终端 会话 记录 财务 系统 研发 测试")


def _safe_gbk(word):
    data = word.encode(GBK)
    return all(data[i + 1] != 0x5C for i in range(0, len(data) - 1, 2))


WORDS = [w for w in _WORDS.split() if _safe_gbk(w)]
PEOPLE = [w for w in WORDS[:6]] + ["admin", "root", "oracle", "operator"]
ACCOUNTS = ["root", "oracle", "admin", "db2inst1", "www", "管理员", "运维"]
PROTOCOLS = ["ssh", "telnet", "rlogin"]
COMMANDS = ["ls -l", "cd /var/log", "tail -n 20 messages", "df -h", "ps aux", "vi /etc/hosts",
            "cat /etc/passwd", "grep error app.log", "top -b -n 1", "uname -a"]


class Writer:
    """A GBK text file with LF line ends, written piece by piece so size does not matter."""

    def __init__(self, path):
        self.f = open(path, "wb")
        self.lines = 0

    def line(self, text):
        self.f.write(text.encode(GBK) + b"\n")
        self.lines += 1

    def close(self):
        self.f.close()


def words(rng, n):
    return "".join(rng.choice(WORDS) for _ in range(n))


def ip(rng, net):
    return "%s.%d.%d" % (net, rng.randint(0, 31), rng.randint(1, 254))


def timestamp(rng, start, days):
    day = rng.randint(0, days - 1)
    y, m, d = (int(x) for x in start.split("-"))
    d += day  # the date ranges used here stay within one month
    return "%04d-%02d-%02d %02d:%02d:%02d" % (y, m, d, rng.randint(0, 23), rng.randint(0, 59),
                                              rng.randint(0, 59))


def later(ts, rng):
    hh, mm, ss = (int(x) for x in ts[11:].split(":"))
    hh = min(23, hh + rng.randint(0, 2))
    return "%s%02d:%02d:%02d" % (ts[:11], hh, mm, ss)


def write_session_text(path, rng, lines):
    with open(path, "wb") as f:
        for _ in range(lines):
            f.write(("[root@host ~]# %s  %s\n" % (rng.choice(COMMANDS), words(rng, 2))).encode(GBK))


def plain_size(height, width):
    return "%05d%05d" % (height, width)


def field_size(rng, height, width):
    # Only the last 58 characters count: they begin with the height and the width.
    tail = "%d %d " % (height, width)
    tail += "x" * (58 - len(tail))
    return "size " + str(rng.randint(0, 9)) + tail


def build(args):
    rng = random.Random(args.seed)
    name = "%s_%s_%s_%s" % (args.prefix, args.kind, args.start, args.end)
    dump_rel = ("var/tmp/backup_log/data_%s_%s" % (args.start, args.end) if args.kind == "log"
                else "var/tmp/backup_log/data_%s_%s_%s" % (args.kind, args.start, args.end))
    sessions_rel = "var/utm/data/sessions"
    days = max(1, int(args.end[-2:]) - int(args.start[-2:]) + 1)

    n_sms = args.sessions
    n_graphic = max(1, n_sms // 2)
    n_xfer = max(1, n_sms // 4)
    n_files = min(args.session_files, n_sms)
    n_child = min(args.child_sessions, n_sms)
    rows_per_child = max(2, args.terminal_rows // max(1, n_child))

    stage = tempfile.mkdtemp(prefix="sample_package_")
    try:
        dump = os.path.join(stage, dump_rel)
        sess = os.path.join(stage, sessions_rel)
        os.makedirs(dump)
        os.makedirs(sess)
        counts = {}

        # Character sessions and transfers (13 columns, tab). Some commands carry
        # backslash-escaped quotes, which stay as they are in a tab dump.
        sms = Writer(os.path.join(dump, "unix_sms_log.bak"))
        keys = []
        for i in range(1, n_sms + 1):
            sid = "s%07d" % i
            fxp = i % 10 == 7
            key = ("fxp_%s_%s" if fxp else "sms_%s_%s") % (args.start.replace("-", ""), sid)
            keys.append((key, sid, fxp))
            login = timestamp(rng, args.start, days)
            status = ("cmd \\\"%s\\\"" % rng.choice(COMMANDS)) if i % 5 == 0 else words(rng, 2)
            second = "/var/%s/%sb.log" % (sessions_rel[4:], sid)
            sms.line("\t".join([
                str(i), "dev%02d" % rng.randint(1, 9), ip(rng, "10.1"), rng.choice(PROTOCOLS),
                login, ip(rng, "192.168"), rng.choice(PEOPLE), rng.choice(ACCOUNTS), key,
                "/var/%s/%s.txt" % (sessions_rel[4:], sid), second, status, later(login, rng)]))
            if i <= n_files:
                write_session_text(os.path.join(sess, sid), rng, rng.randint(3, 30))
                if i % 2 == 1:
                    write_session_text(os.path.join(sess, sid + "b"), rng, 2)
        sms.close()
        counts["unix_sms_log"] = sms.lines

        xfer = Writer(os.path.join(dump, "unix_xfer_log.bak"))
        for i in range(1, n_xfer + 1):
            login = timestamp(rng, args.start, days)
            xfer.line("\t".join([
                str(i), "dev%02d" % rng.randint(1, 9), ip(rng, "10.1"), "sftp", login,
                ip(rng, "192.168"), rng.choice(PEOPLE), rng.choice(ACCOUNTS),
                "xfer_%07d" % i, "/var/utm/data/sessions/x%07d.txt" % i,
                "/var/utm/data/sessions/x%07db.log" % i, "上传 %s.tar" % words(rng, 1),
                later(login, rng)]))
        xfer.close()
        counts["unix_xfer_log"] = xfer.lines

        # Graphical sessions (14 columns, tab) with their recordings.
        recordings = []
        for table, letter in (("unix_vsms_log", "v"), ("unix_xapp_log", "a")):
            w = Writer(os.path.join(dump, table + ".bak"))
            for i in range(1, n_graphic + 1):
                rec = "%s%07d" % (letter, i)
                recordings.append(rec)
                login = timestamp(rng, args.start, days)
                width, height = rng.choice([(1024, 768), (1280, 1024), (1920, 1080)])
                w.line("\t".join([
                    str(i), str(1000 + i), "dev%02d" % rng.randint(1, 9), login,
                    ip(rng, "192.168"), rng.choice(PEOPLE), ip(rng, "10.2"),
                    rng.choice(ACCOUNTS), rec, str(width), str(height),
                    "rdp" if letter == "v" else "xapp", words(rng, 1), later(login, rng)]))
                if i <= n_files:
                    with open(os.path.join(sess, rec + ".rec"), "wb") as f:
                        f.write(bytes(rng.getrandbits(8) for _ in range(rng.randint(512, 4096))))
            w.close()
            counts[table] = w.lines

        # Scan index (4 columns, tab) and the scan files it names.
        dba = Writer(os.path.join(dump, "utm2dba.bak"))
        scanned = recordings[:n_files]
        for i, rec in enumerate(scanned, 1):
            for part in (1, 2):
                fname = "%s_%d.txt" % (rec, part)
                dba.line("\t".join([str(dba.lines + 1), rec, fname,
                                    timestamp(rng, args.start, days)]))
                write_session_text(os.path.join(sess, fname), rng, rng.randint(5, 40))
            if i % 3 == 0:
                write_session_text(os.path.join(sess, rec + ".scan"), rng, 12)
        dba.close()
        counts["utm2dba"] = dba.lines

        # Scan dumps (4 columns, comma) as MySQL exports them: quotes inside texts escaped
        # with a backslash, which the import doubles before loading.
        for table in ("utm_xapp_scan", "utm_dba_scan"):
            w = Writer(os.path.join(dump, table + ".bak"))
            for i in range(1, max(1, n_graphic) + 1):
                rec = rng.choice(recordings)
                text = "点击 \\\"%s\\\" 按钮, 打开 %s" % (rng.choice(WORDS), words(rng, 2))
                w.line('%d,"%s","%s","%s"' % (i, rec, timestamp(rng, args.start, days), text))
            w.close()
            counts[table] = w.lines

        # Optional dumps (comma): application records and window texts.
        tab_path = os.path.join(dump, "vsms_xapp_tab.bak")
        if args.tab:
            w = Writer(tab_path)
            for i in range(1, n_graphic + 1):
                ts = timestamp(rng, args.start, days)
                w.line('%d,%d,"%s","%s","%s","%s","v%07d","%s","%s","%s"' % (
                    i, 1000 + i, ts[:10], ts[11:], ip(rng, "10.3"), rng.choice(ACCOUNTS), i,
                    words(rng, 1) + ".exe", "C:\\Program Files\\" + words(rng, 1), "运行, 正常"))
            w.close()
            counts["vsms_xapp_tab"] = w.lines
        matrix_path = os.path.join(dump, "w_text_matrix.bak")
        if args.matrix:
            w = Writer(matrix_path)
            for i in range(1, n_graphic + 1):
                text = "窗口 \\\"%s\\\" 路径 C:\\\\Windows\\\\%s" % (words(rng, 1), words(rng, 1))
                w.line('%d,"v%07d","%s","%s","%s"' % (
                    i, rng.randint(1, n_graphic), timestamp(rng, args.start, days),
                    words(rng, 2), text))
            w.close()
            counts["w_text_matrix"] = w.lines

        # Per-session terminal tables, as mysqldump writes them.
        child_counts = {}
        sql = Writer(os.path.join(dump, "sub_table_sms.sql"))
        sql.line("-- MySQL dump 10.13  Distrib 5.1.73, for redhat-linux-gnu (x86_64)")
        sql.line("--")
        sql.line("-- Host: localhost    Database: utm_sms")
        sql.line("-- ------------------------------------------------------")
        sql.line("/*!40101 SET NAMES gbk */;")
        sql.line("SET FOREIGN_KEY_CHECKS=0;")
        sql.line("")
        for key, sid, fxp in keys[:n_child]:
            sql.line("--")
            sql.line("-- Table structure for table `%s`" % key)
            sql.line("--")
            sql.line("")
            sql.line("DROP TABLE IF EXISTS `%s`;" % key)
            sql.line("CREATE TABLE `%s` (" % key)
            sql.line("  `id` int(11) NOT NULL AUTO_INCREMENT,")
            sql.line("  `flag` int(11) NOT NULL DEFAULT '0',")
            sql.line("  `seq` int(11) DEFAULT NULL,")
            sql.line("  `stime` datetime DEFAULT NULL,")
            sql.line("  `dir` tinyint(4) DEFAULT NULL,")
            sql.line("  `host` varchar(64) DEFAULT NULL,")
            sql.line("  `port` int(11) DEFAULT NULL,")
            sql.line("  `user` varchar(64) DEFAULT NULL,")
            sql.line("  `term` varchar(16) DEFAULT NULL,")
            sql.line("  `len` int(11) DEFAULT NULL,")
            sql.line("  `data` text,")
            sql.line("  PRIMARY KEY (`id`)")
            sql.line(") ENGINE=MyISAM AUTO_INCREMENT=%d DEFAULT CHARSET=gbk;" % (rows_per_child + 1))
            sql.line("")
            sql.line("LOCK TABLES `%s` WRITE;" % key)
            row = 0
            while row < rows_per_child:
                batch = []
                for _ in range(min(args.rows_per_insert, rows_per_child - row)):
                    row += 1
                    if row == 1:
                        height, width = rng.choice([(24, 80), (43, 132), (50, 160)])
                        flag = 1000
                        data = field_size(rng, height, width) if fxp else plain_size(height, width)
                    else:
                        flag = rng.choice([1, 2])
                        data = "%s \\'%s\\' %s" % (rng.choice(COMMANDS), words(rng, 1),
                                                   words(rng, 2))
                    batch.append("(%d,%d,%d,'%s',%d,'%s',22,'%s','xterm',%d,'%s')" % (
                        row, flag, row, timestamp(rng, args.start, days), row % 2,
                        ip(rng, "10.1"), rng.choice(ACCOUNTS), len(data), data))
                sql.line("INSERT INTO `%s` VALUES %s;" % (key, ",".join(batch)))
            sql.line("UNLOCK TABLES;")
            sql.line("")
            child_counts[key] = rows_per_child
        sql.line("-- Dump completed on %s 23:59:59" % args.end)
        sql.close()

        os.makedirs(args.out, exist_ok=True)
        tar_path = os.path.join(args.out, name + ".tar")

        def fixed(info):
            info.mtime = 1473000000
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            info.mode = 0o755 if info.isdir() else 0o644
            return info

        with tarfile.open(tar_path, "w", format=tarfile.GNU_FORMAT) as tar:
            for root, dirs, files in os.walk(stage):
                dirs.sort()
                for entry in sorted(dirs) + sorted(files):
                    full = os.path.join(root, entry)
                    tar.add(full, arcname=os.path.relpath(full, stage), recursive=False,
                            filter=fixed)

        expected = {
            "package": name,
            "tar": os.path.abspath(tar_path),
            "kind": args.kind,
            "start_date": args.start,
            "end_date": args.end,
            "dump_folder": dump_rel,
            "sessions_folder": sessions_rel,
            "seed": args.seed,
            "parent": counts,
            "child": child_counts,
            "child_tables": len(child_counts),
            "child_rows": sum(child_counts.values()),
            "has_tab_table": bool(args.tab),
            "has_matrix_table": bool(args.matrix),
            "first_session_key": keys[0][0] if keys else "",
        }
        with open(os.path.join(args.out, name + ".json"), "w", encoding="utf-8") as f:
            json.dump(expected, f, ensure_ascii=False, indent=1, sort_keys=True)
        # The same counts as plain lines "DATABASE TABLE ROWS", easy to read from any language.
        with open(os.path.join(args.out, name + ".counts"), "w", encoding="utf-8") as f:
            for table, rows in sorted(counts.items()):
                f.write("parent %s %d\n" % (table, rows))
            for table, rows in sorted(child_counts.items()):
                f.write("child %s %d\n" % (table, rows))
        return tar_path
    finally:
        shutil.rmtree(stage, ignore_errors=True)


def main(argv):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--out", required=True, help="folder for PACKAGE.tar and PACKAGE.json")
    p.add_argument("--prefix", default="audit")
    p.add_argument("--kind", default="log", help="kind field of the file name (log: plain)")
    p.add_argument("--start", default="2016-09-01")
    p.add_argument("--end", default="2016-09-10")
    p.add_argument("--seed", type=int, default=20160901)
    p.add_argument("--sessions", type=int, default=40, help="rows of unix_sms_log")
    p.add_argument("--terminal-rows", type=int, default=400, help="rows of all child tables")
    p.add_argument("--child-sessions", type=int, default=40,
                   help="character sessions that get a table in child.db")
    p.add_argument("--session-files", type=int, default=40,
                   help="sessions whose files under var/utm/data/sessions are written")
    p.add_argument("--rows-per-insert", type=int, default=20)
    p.add_argument("--size-mb", type=float, default=0,
                   help="aim at about this many megabytes (sets sessions and terminal rows)")
    p.add_argument("--no-tab", dest="tab", action="store_false", help="no vsms_xapp_tab dump")
    p.add_argument("--no-matrix", dest="matrix", action="store_false",
                   help="no w_text_matrix dump")
    args = p.parse_args(argv)
    if args.size_mb > 0:
        # Measured on this generator: about 380 bytes of dumps per character session (with
        # its graphical and transfer share) and 150 bytes per terminal row.
        budget = args.size_mb * 1e6
        args.sessions = max(1, int(budget * 0.45 / 380))
        args.terminal_rows = max(2, int(budget * 0.55 / 150))
        args.child_sessions = min(args.child_sessions if args.child_sessions != 40 else 200,
                                  args.sessions)
    print(build(args))


if __name__ == "__main__":
    main(sys.argv[1:])
