#pragma once

#include <QString>

// The PostgreSQL server of the tests, and fresh databases on it.
//
// A program registered with tavrel_add_test(... SERVER ...) runs under the
// CTest fixture pg_server, which starts one private server for the whole run
// and names the file holding its URI in TAVREL_TEST_PG_URI_FILE. A program
// started by hand without that variable starts a private server of its own on
// first use and stops it, by its pid, when it ends.
//
// Every function throws std::runtime_error with the reason when there is no
// server or it refuses: GoogleTest fails the test with that text. A test never
// passes, nor is skipped, for want of a server.

// URI of the server's empty database "tavrel", in which the tests create no
// tables: they take a database of their own from the functions below.
QString pgTestServerUri();

// Makes the database `name` (at most 63 bytes) empty on the server of
// baseUri and returns its URI (baseUri naming that database). A database of
// that name that exists is emptied in place: its sessions are ended and
// every schema is dropped and "public" made anew, as a new database has it;
// that takes a few milliseconds where creating one takes a quarter second.
QString freshPgDatabase(const QString& baseUri, const QString& name);

// An empty database for the test now running, on pgTestServerUri()'s server.
// It comes from a pool shared by the test programs: this program holds one
// pooled database (by a session lock on the server) until it ends, so tests
// running side by side never share one, and the next test of the program
// gets the same database emptied again. Cheap after the first call. The
// pool's databases are named tavrel_test_1, tavrel_test_2, ...
QString pgTestDatabase();
