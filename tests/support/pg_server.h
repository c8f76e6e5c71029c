// A PostgreSQL server for the register tests: the one the PG* variables point at
// (CI starts a throw-away one with pg_virtualenv, scripts/test-postgresql.sh). Each
// test program makes its own roles, and a database per test, with the laboratory
// setup script, and drops them at the end. Passwords go through a private pgpass
// file, as at a laboratory. Without a server the tests skip, unless
// XMCA_REQUIRE_PG=1 (CI), which turns the skip into a failure.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace xmca::test {

class PgServer {
public:
    static PgServer& instance() {
        static PgServer server;
        return server;
    }
    static bool required() {
        const char* r = std::getenv("XMCA_REQUIRE_PG");
        return r && std::string(r) == "1";
    }

    bool available() const { return available_; }
    const std::string& reason() const { return reason_; }
    const std::string& ownerRole() const { return owner_; }
    const std::string& appRole() const { return app_; }

    // A new database set up by the laboratory script; empty and a message on failure.
    std::string freshDatabase(std::string& error) {
        const std::string db = "xmca_t_" + suffix_ + "_" + std::to_string(++databases_);
        const std::string cmd = "psql -X -q -v ON_ERROR_STOP=1 -v db=" + db + " -v owner=" + owner_ +
                                " -v app=" + app_ + " -f '" + setupScript() + "' '" + uri(super_, "postgres") +
                                "' >/dev/null";
        if (std::system(cmd.c_str()) != 0) {
            error = "the setup script failed: " + cmd;
            return {};
        }
        created_.push_back(db);
        return db;
    }

    // A connection URI for role on db (never with a password).
    std::string uri(const std::string& role, const std::string& db) const {
        std::string u = "postgresql://" + role + "@";
        if (!host_.empty() && host_[0] != '/') u += host_;
        u += ":" + port_ + "/" + db;
        if (!host_.empty() && host_[0] == '/') u += "?host=" + encoded(host_);
        return u;
    }
    // A URI for the same database on a port where nothing listens.
    std::string deadUri(const std::string& role, const std::string& db) const {
        return "postgresql://" + role + "@127.0.0.1:1/" + db + "?connect_timeout=2";
    }

    // Runs sql as the superuser on db; false with the server's message.
    bool exec(const std::string& db, const std::string& sql, std::string& error) const {
        return execAs(super_, db, sql, error);
    }
    bool execAs(const std::string& role, const std::string& db, const std::string& sql, std::string& error) const {
        PGconn* c = PQconnectdb(uri(role, db).c_str());
        bool ok = PQstatus(c) == CONNECTION_OK;
        if (ok) {
            PGresult* r = PQexec(c, sql.c_str());
            ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
            if (!ok) error = PQresultErrorMessage(r);
            PQclear(r);
        } else {
            error = PQerrorMessage(c);
        }
        PQfinish(c);
        return ok;
    }

    // Stops and starts the server (XMCA_PG_CTL, e.g. "pg_ctlcluster 15 regress"); false when not possible.
    static bool canControl() { return std::getenv("XMCA_PG_CTL") != nullptr; }
    static bool control(const char* action) {
        const char* ctl = std::getenv("XMCA_PG_CTL");
        return ctl && std::system((std::string(ctl) + " " + action + " >/dev/null 2>&1").c_str()) == 0;
    }

    ~PgServer() {
        if (!available_) return;
        std::string ignored;
        for (const auto& db : created_) exec("postgres", "DROP DATABASE IF EXISTS " + db + " WITH (FORCE)", ignored);
        exec("postgres", "DROP ROLE IF EXISTS " + owner_, ignored);
        exec("postgres", "DROP ROLE IF EXISTS " + app_, ignored);
        std::error_code ec;
        std::filesystem::remove(passFile_, ec);
    }

private:
    PgServer() {
        std::mt19937_64 gen(std::random_device{}());
        suffix_ = std::to_string(getpid()) + "_" + std::to_string(gen() % 100000);
        owner_ = "xmca_t_owner_" + suffix_;
        app_ = "xmca_t_app_" + suffix_;
        PGconn* c = PQconnectdb("dbname=postgres connect_timeout=3");
        if (PQstatus(c) != CONNECTION_OK) {
            reason_ = std::string("no PostgreSQL server answers (PGHOST/PGPORT): ") + PQerrorMessage(c);
            PQfinish(c);
            return;
        }
        super_ = PQuser(c);
        host_ = PQhost(c) ? PQhost(c) : "";
        port_ = PQport(c) ? PQport(c) : "5432";
        PGresult* r = PQexec(c, "SELECT rolsuper FROM pg_roles WHERE rolname = current_user");
        const bool super = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) == 1 && PQgetvalue(r, 0, 0)[0] == 't';
        PQclear(r);
        PQfinish(c);
        if (!super) {
            reason_ = "the PostgreSQL role " + super_ + " is no superuser; the tests make their own roles";
            return;
        }
        // Passwords for the test roles, through a pgpass file (PGPASSWORD would apply to every role).
        const std::string ownerPw = hex(gen()), appPw = hex(gen());
        passFile_ = (std::filesystem::temp_directory_path() / ("xmca-pgpass-" + suffix_)).string();
        {
            std::ofstream f(passFile_);
            if (const char* pw = std::getenv("PGPASSWORD")) f << "*:*:*:" << super_ << ":" << pw << "\n";
            f << "*:*:*:" << owner_ << ":" << ownerPw << "\n*:*:*:" << app_ << ":" << appPw << "\n";
        }
        ::chmod(passFile_.c_str(), 0600);
        setenv("PGPASSFILE", passFile_.c_str(), 1);
        unsetenv("PGPASSWORD");
        std::string error;
        const std::string db = freshDatabase(error);  // creates the roles
        if (db.empty() || !exec("postgres", "ALTER ROLE " + owner_ + " PASSWORD '" + ownerPw + "'", error) ||
            !exec("postgres", "ALTER ROLE " + app_ + " PASSWORD '" + appPw + "'", error)) {
            reason_ = "setting up the test roles failed: " + error;
            return;
        }
        available_ = true;
    }

    static std::string setupScript() {
        return std::string(XMCA_SOURCE_DIR) + "/packaging/postgresql/setup.sql";
    }
    static std::string hex(std::uint64_t v) {
        static const char* digits = "0123456789abcdef";
        std::string s;
        for (int i = 0; i < 16; ++i, v >>= 4) s += digits[v & 15];
        return s;
    }
    static std::string encoded(const std::string& s) {
        std::string out;
        for (char ch : s) {
            if (ch == '/') out += "%2F";
            else out += ch;
        }
        return out;
    }

    bool available_ = false;
    std::string reason_;
    std::string suffix_, owner_, app_, super_, host_, port_, passFile_;
    std::vector<std::string> created_;
    int databases_ = 0;
};

}  // namespace xmca::test

// Skips (or, under XMCA_REQUIRE_PG=1, fails) the test when no server can be used.
#define XMCA_NEED_PG_SERVER()                                                                                  \
    do {                                                                                                       \
        auto& pgServer_ = ::xmca::test::PgServer::instance();                                                  \
        if (!pgServer_.available()) {                                                                          \
            if (::xmca::test::PgServer::required()) FAIL() << "XMCA_REQUIRE_PG=1 but " << pgServer_.reason(); \
            GTEST_SKIP() << "PostgreSQL backend not tested: " << pgServer_.reason()                            \
                         << " (scripts/test-postgresql.sh starts a throw-away server)";                        \
        }                                                                                                      \
    } while (0)
