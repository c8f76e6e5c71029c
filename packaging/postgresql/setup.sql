-- A laboratory's register on a PostgreSQL server: the database, the schema
-- owner that runs schema migrations, and the login role the programs use.
--
-- Run once as a superuser (running it again changes nothing that exists):
--   psql -v ON_ERROR_STOP=1 -f setup.sql
-- Names can be chosen with -v db=NAME -v owner=ROLE -v app=ROLE.
-- Passwords are set afterwards, never written here:  \password xmca_app
--
-- The program's role may read and add records, nothing else: it holds SELECT
-- and INSERT on the result tables and USAGE on their sequences, and no UPDATE,
-- DELETE or TRUNCATE. The tables themselves are created by the programs'
-- schema migration run as the owner:
--   mcatool register migrate --register postgresql://xmca_owner@HOST/xmca

\if :{?db}
\else
\set db xmca
\endif
\if :{?owner}
\else
\set owner xmca_owner
\endif
\if :{?app}
\else
\set app xmca_app
\endif

SELECT format('CREATE ROLE %I LOGIN', :'owner')
 WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = :'owner') \gexec
SELECT format('CREATE ROLE %I LOGIN', :'app')
 WHERE NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = :'app') \gexec
SELECT format('CREATE DATABASE %I OWNER %I ENCODING ''UTF8'' TEMPLATE template0', :'db', :'owner')
 WHERE NOT EXISTS (SELECT 1 FROM pg_database WHERE datname = :'db') \gexec

REVOKE ALL ON DATABASE :"db" FROM PUBLIC;
GRANT CONNECT ON DATABASE :"db" TO :"app";

\connect :"db"

-- Nobody but the owner creates objects in this database.
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
CREATE SCHEMA IF NOT EXISTS xmca AUTHORIZATION :"owner";
REVOKE ALL ON SCHEMA xmca FROM PUBLIC;
GRANT USAGE ON SCHEMA xmca TO :"app";

-- Tables and sequences the owner creates later (by a migration) get exactly these rights.
ALTER DEFAULT PRIVILEGES FOR ROLE :"owner" IN SCHEMA xmca GRANT SELECT, INSERT ON TABLES TO :"app";
ALTER DEFAULT PRIVILEGES FOR ROLE :"owner" IN SCHEMA xmca GRANT USAGE ON SEQUENCES TO :"app";
-- Those that exist already (the script run again after a migration).
GRANT SELECT, INSERT ON ALL TABLES IN SCHEMA xmca TO :"app";
GRANT USAGE ON ALL SEQUENCES IN SCHEMA xmca TO :"app";
REVOKE UPDATE, DELETE, TRUNCATE ON ALL TABLES IN SCHEMA xmca FROM :"app";
