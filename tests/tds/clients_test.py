#!/usr/bin/python3
"""Real SQL Server clients against `t7machine serve`: FreeTDS's tsql and
pyodbc through the FreeTDS ODBC driver, each server on a free loopback port.

usage: clients_test.py T7MACHINE [unittest options]
"""
import datetime
import decimal
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import pyodbc

T7MACHINE = None
PASSWORD = "Sa#Secret1"
# The FreeTDS driver by its registered name, else by its file.
DRIVER = "FreeTDS" if "FreeTDS" in pyodbc.drivers() else next(
    (p for p in ("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", "/usr/lib/aarch64-linux-gnu/odbc/libtdsodbc.so")
     if os.path.exists(p)), "FreeTDS")


class Server:
    """A machine folder served on a free port, stopped with SIGTERM."""

    def __init__(self, *serve_args):
        self.folder = tempfile.mkdtemp(prefix="t7tds-")
        subprocess.run([T7MACHINE, "init", self.folder, "--no-iis", "--sa-password", PASSWORD],
                       check=True, stdout=subprocess.DEVNULL)
        self.process = subprocess.Popen([T7MACHINE, "serve", self.folder, "--port", "0", *serve_args],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("listening on 127.0.0.1:"):
            raise RuntimeError("serve said: " + line + self.process.stderr.read())
        self.port = int(line.rsplit(":", 1)[1])
        self.browser_port = None
        if "--browser" in serve_args:
            self.browser_port = int(self.process.stdout.readline().split(":")[1].split("/")[0])

    def connection_string(self, password=PASSWORD, extra=""):
        return (f"DRIVER={{{DRIVER}}};SERVER=127.0.0.1;PORT={self.port};UID=sa;PWD={password};"
                f"TDS_Version=7.4;ClientCharset=UTF-8;{extra}")

    def connect(self, **kw):
        return pyodbc.connect(self.connection_string(), autocommit=True, timeout=10, **kw)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        status = self.process.wait(timeout=20)
        self.process.stdout.close()
        self.process.stderr.close()
        shutil.rmtree(self.folder, ignore_errors=True)
        return status


class ServerTestCase(unittest.TestCase):
    serve_args = ()

    @classmethod
    def setUpClass(cls):
        cls.server = Server(*cls.serve_args)

    @classmethod
    def tearDownClass(cls):
        assert cls.server.stop() == 0, "serve did not exit 0 on SIGTERM"


class TsqlTest(ServerTestCase):
    def tsql(self, script, password=PASSWORD):
        return subprocess.run(["tsql", "-H", "127.0.0.1", "-p", str(self.server.port), "-U", "sa", "-P", password],
                              input=script, capture_output=True, text=True, timeout=30)

    def test_batches_print_their_rows(self):
        out = self.tsql("create database Exam\ngo\nselect name from sys.databases\ngo\n"
                        "select 7 * 6 as answer, N'考试系统' as name\ngo\nexit\n").stdout
        self.assertIn("master", out)
        self.assertIn("Exam", out)
        self.assertIn("42\t考试系统", out)

    def test_wrong_password_is_refused(self):
        result = self.tsql("select 1\ngo\nexit\n", password="wrong")
        self.assertIn("Login failed for user 'sa'", result.stdout + result.stderr)


class PyodbcTest(ServerTestCase):
    def setUp(self):
        self.conn = self.server.connect()
        self.cur = self.conn.cursor()

    def tearDown(self):
        self.conn.close()

    def native_error(self, sql, *params):
        with self.assertRaises(pyodbc.Error) as caught:
            self.cur.execute(sql, *params)
        return caught.exception.args[1]

    def test_wrong_password_fails_with_18456(self):
        with self.assertRaises(pyodbc.Error) as caught:
            pyodbc.connect(self.server.connection_string(password="not it"), timeout=10)
        self.assertIn("(18456)", caught.exception.args[1])

    def test_ddl_dml_and_row_counts(self):
        self.cur.execute("create table Subjects (id int primary key, name nvarchar(20) not null)")
        self.cur.execute("insert into Subjects values (1, N'语文'), (2, N'数学'), (3, N'英语')")
        self.assertEqual(self.cur.rowcount, 3)
        self.cur.execute("update Subjects set name = name + N'!' where id > 1")
        self.assertEqual(self.cur.rowcount, 2)
        self.cur.execute("delete from Subjects where id = 3")
        self.assertEqual(self.cur.rowcount, 1)
        rows = self.cur.execute("select id, name from Subjects order by id").fetchall()
        self.assertEqual([tuple(r) for r in rows], [(1, "语文"), (2, "数学!")])

    def test_parameters_keep_every_type(self):
        self.cur.execute("create table Papers (id int primary key, title nvarchar(40), code varchar(40), "
                         "score decimal(9,2), price money, taken datetime, data varbinary(16), "
                         "ratio float, done bit, tag uniqueidentifier, big bigint)")
        values = (1, "考试系统", "考试系统", decimal.Decimal("-1234567.89"), decimal.Decimal("12.3456"),
                  datetime.datetime(2024, 2, 29, 23, 59, 58, 997000), b"\x00\x01\xfe\xff", 0.1, True,
                  "6F9619FF-8B86-D011-B42D-00C04FC964FF", 2 ** 40)
        self.cur.execute("insert into Papers values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", *values)
        self.cur.execute("insert into Papers (id) values (?)", 2)
        rows = self.cur.execute("select * from Papers where id in (?, ?) order by id", 1, 2).fetchall()
        self.assertEqual(tuple(rows[0]), values)
        self.assertEqual(tuple(rows[1]), (2,) + (None,) * 10)
        description = {d[0]: d for d in self.cur.description}
        self.assertEqual(description["score"][4:6], (9, 2))
        self.assertFalse(description["id"][6])
        self.assertTrue(description["title"][6])

    def test_chinese_text_through_both_string_types(self):
        self.cur.execute("create table Names (n nvarchar(10), v varchar(10))")
        self.cur.execute("insert into Names values (?, ?)", "考试", "考试")
        self.assertEqual(tuple(self.cur.execute("select n, v from Names").fetchone()), ("考试", "考试"))
        self.assertEqual(self.cur.execute("select count(*) from Names where v = ?", "考试").fetchone()[0], 1)

    def test_prepared_statement_runs_again_with_new_values(self):
        self.cur.execute("create table Marks (id int, mark int)")
        self.cur.executemany("insert into Marks values (?, ?)", [(i, i * 10) for i in range(20)])
        self.assertEqual(self.cur.execute("select sum(mark) from Marks where id >= ?", 10).fetchone()[0], 1450)

    def test_multiple_result_sets(self):
        self.cur.execute("select 1 as a; select N'二' as b, 3 as c; select name from sys.databases where 1 = 0")
        self.assertEqual([tuple(r) for r in self.cur.fetchall()], [(1,)])
        self.assertTrue(self.cur.nextset())
        self.assertEqual([tuple(r) for r in self.cur.fetchall()], [("二", 3)])
        self.assertTrue(self.cur.nextset())
        self.assertEqual(self.cur.fetchall(), [])
        self.assertFalse(self.cur.nextset())

    def test_rows_before_a_failing_statement_arrive_before_its_error(self):
        self.cur.execute("select 1 as a union all select 2; select * from NoSuchTable; select 3")
        self.assertEqual([tuple(r) for r in self.cur.fetchall()], [(1,), (2,)])
        with self.assertRaises(pyodbc.Error) as caught:
            self.cur.nextset()
        self.assertIn("(208)", caught.exception.args[1])

    def test_server_errors_carry_their_numbers(self):
        self.assertIn("(208)", self.native_error("select * from NoSuchTable"))
        self.cur.execute("create table Keys (id int primary key)")
        self.cur.execute("insert into Keys values (1)")
        self.assertIn("(2627)", self.native_error("insert into Keys values (?)", 1))
        self.assertIn("(102)", self.native_error("select from where"))
        # The connection goes on after errors.
        self.assertEqual(self.cur.execute("select count(*) from Keys").fetchone()[0], 1)

    def test_use_changes_the_database(self):
        self.cur.execute("create database UseMe")
        self.cur.execute("use UseMe")
        self.assertEqual(self.cur.execute("select db_name()").fetchone()[0], "UseMe")
        conn = pyodbc.connect(self.server.connection_string(extra="DATABASE=UseMe"), autocommit=True, timeout=10)
        self.assertEqual(conn.cursor().execute("select db_name()").fetchone()[0], "UseMe")
        conn.close()

    def test_a_long_query_is_cancelled_and_the_connection_goes_on(self):
        started = time.monotonic()
        # SQLCancel from another thread while the query runs.
        canceller = threading.Timer(0.5, self.cur.cancel)
        canceller.start()
        with self.assertRaises(pyodbc.Error) as caught:
            self.cur.execute("declare @i int = 0; while @i < 100000000 set @i = @i + 1; select @i")
        canceller.join()
        self.assertEqual(caught.exception.args[0], "HY008")
        self.assertLess(time.monotonic() - started, 10)
        self.assertEqual(self.cur.execute("select 5").fetchone()[0], 5)


class TransactionTest(ServerTestCase):
    """Clients with autocommit off: the driver begins, commits and rolls
    back transactions with transaction manager requests."""

    def setUp(self):
        self.observer = self.server.connect()
        self.observer.execute("if object_id('Answers') is not null drop table Answers")
        self.observer.execute("create table Answers (id int primary key)")
        self.conn = pyodbc.connect(self.server.connection_string(), autocommit=False, timeout=10)
        self.cur = self.conn.cursor()

    def tearDown(self):
        self.conn.close()
        self.observer.close()

    def seen(self):
        return [r[0] for r in self.observer.execute("select id from Answers order by id").fetchall()]

    def test_rollback_undoes_and_commit_publishes(self):
        self.cur.execute("insert into Answers values (?)", 1)
        self.cur.execute("insert into Answers values (2)")
        self.assertEqual(tuple(self.cur.execute("select count(*), @@trancount from Answers").fetchone()), (2, 1))
        self.assertEqual(self.seen(), [])
        self.conn.rollback()
        self.assertEqual(self.seen(), [])
        self.assertEqual(self.cur.execute("select count(*) from Answers").fetchone()[0], 0)
        self.cur.execute("insert into Answers values (3)")
        self.assertEqual(self.seen(), [])
        self.conn.commit()
        self.assertEqual(self.seen(), [3])

    def test_an_error_leaves_the_transaction_to_the_client(self):
        self.cur.execute("insert into Answers values (1)")
        with self.assertRaises(pyodbc.Error) as caught:
            self.cur.execute("insert into Answers values (1)")
        self.assertIn("(2627)", caught.exception.args[1])
        self.cur.execute("insert into Answers values (2)")
        self.conn.rollback()
        self.assertEqual(self.seen(), [])

    def test_a_writer_blocked_by_an_open_transaction_gets_1222(self):
        self.cur.execute("insert into Answers values (1)")
        self.observer.execute("set lock_timeout 200")
        with self.assertRaises(pyodbc.Error) as caught:
            self.observer.execute("insert into Answers values (2)")
        self.assertIn("(1222)", caught.exception.args[1])
        self.conn.commit()
        self.observer.execute("insert into Answers values (2)")
        self.assertEqual(self.seen(), [1, 2])

    def test_a_client_gone_with_its_transaction_open_leaves_nothing(self):
        # The client process ends without the driver's rollback on close.
        script = ("import os, sys, pyodbc\n"
                  "c = pyodbc.connect(sys.argv[1], autocommit=False, timeout=10)\n"
                  "c.execute('insert into Answers values (7)')\n"
                  "print('inserted', flush=True)\n"
                  "os._exit(0)\n")
        done = subprocess.run([sys.executable, "-c", script, self.server.connection_string()],
                              capture_output=True, text=True, timeout=30)
        self.assertEqual(done.stdout, "inserted\n", done.stderr)
        # The write lock comes free once the server has seen the connection go.
        self.observer.execute("set lock_timeout 5000")
        self.observer.execute("insert into Answers values (8)")
        self.assertEqual(self.seen(), [8])


class ManyClientsTest(ServerTestCase):
    CLIENTS = 50
    ROWS = 20

    def test_fifty_clients_write_and_see_committed_rows(self):
        with self.server.connect() as conn:
            conn.cursor().execute("create table Answers (client int, n int, primary key (client, n))")
        errors = []
        barrier = threading.Barrier(self.CLIENTS)

        def client(k):
            try:
                conn = self.server.connect()
                cur = conn.cursor()
                barrier.wait(timeout=60)
                for n in range(self.ROWS):
                    cur.execute("insert into Answers values (?, ?)", k, n)
                    seen = cur.execute("select count(*) from Answers where client = ?", k).fetchone()[0]
                    if seen != n + 1:
                        errors.append(f"client {k} saw {seen} of its rows after {n + 1}")
                conn.close()
            except Exception as e:  # reported below
                errors.append(f"client {k}: {e}")

        threads = [threading.Thread(target=client, args=(k,)) for k in range(self.CLIENTS)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])
        with self.server.connect() as conn:
            total = conn.cursor().execute("select count(*) from Answers").fetchone()[0]
        self.assertEqual(total, self.CLIENTS * self.ROWS)


def raw_connection(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    return s


def closed_by_server(s):
    try:
        while True:
            data = s.recv(65536)
            if not data:
                return True
    except (ConnectionResetError, socket.timeout):
        return False


class MisbehavingClientsTest(ServerTestCase):
    serve_args = ("--browser", "--browser-port", "0")

    def test_bad_clients_are_dropped_and_others_go_on(self):
        with self.server.connect() as good:
            cur = good.cursor()
            silent = raw_connection(self.server.port)
            garbage = raw_connection(self.server.port)
            garbage.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n\r\n")
            oversized = raw_connection(self.server.port)
            oversized.sendall(struct.pack(">BBHHBB", 0x12, 1, 0xFFFF, 0, 1, 0) + b"\0" * 100)
            self.assertTrue(closed_by_server(garbage))
            self.assertTrue(closed_by_server(oversized))
            # A client that leaves in the middle of a large result.
            quitter = self.server.connect()
            qcur = quitter.cursor()
            qcur.execute("select a.name from sys.databases a, sys.databases b, sys.databases c")
            qcur.fetchone()
            quitter.close()
            self.assertEqual(cur.execute("select 11").fetchone()[0], 11)
            silent.close()
            garbage.close()
            oversized.close()

    def test_a_client_demanding_encryption_gets_an_error(self):
        started = time.monotonic()
        with self.assertRaises(pyodbc.Error):
            pyodbc.connect(self.server.connection_string(extra="Encryption=require"), timeout=10)
        self.assertLess(time.monotonic() - started, 10)

    def test_browser_names_the_instance_and_port(self):
        udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        udp.settimeout(5)
        udp.sendto(b"\x03", ("127.0.0.1", self.server.browser_port))
        reply, _ = udp.recvfrom(4096)
        self.assertEqual(reply[0], 0x05)
        self.assertIn(f"InstanceName;MSSQLSERVER;IsClustered;No;".encode(), reply)
        self.assertIn(f";tcp;{self.server.port};".encode(), reply)
        udp.sendto(b"\x04OTHER\0", ("127.0.0.1", self.server.browser_port))
        with self.assertRaises(socket.timeout):
            udp.settimeout(0.5)
            udp.recvfrom(4096)
        udp.close()


class ServeCommandTest(unittest.TestCase):
    def test_a_taken_port_is_reported(self):
        server = Server()
        try:
            result = subprocess.run([T7MACHINE, "serve", server.folder, "--port", str(server.port)],
                                    capture_output=True, text=True, timeout=30)
            self.assertNotEqual(result.returncode, 0)
            self.assertIn(f"127.0.0.1:{server.port}", result.stderr)
        finally:
            self.assertEqual(server.stop(), 0)


if __name__ == "__main__":
    T7MACHINE = sys.argv.pop(1)
    unittest.main()
