-- Who may do what, held by the database: four group roles without login, one per role of the access codes, each
-- granted what that role does in the program and nothing more. A person's own login is made a member of one of
-- them (see README.md, "Deployment"); the program's built-in user sys keeps what it has.
--
--   kesta_reporting  the journal of today, the reports
--   kesta_foreman    + new journal rows (the timesheet cells they reach rewritten by the database)
--   kesta_warehouse  + the acceptance mark of journal rows (the column ok, nothing else)
--   kesta_full       + changes and deletions of journal rows, the timesheet's rebuild, closed months, the
--                      catalogues, the history of journal rows
--
-- What a journal row may hold, the timesheet's cells, the build stamp and the history are the database's: no group
-- writes the timesheet or the build stamp, and the owner's functions below do it for them.
--
-- kesta_foreman and kesta_warehouse are members of kesta_reporting, and kesta_full of both, so a login of a group
-- also has what the groups below it have; the program reads this when it starts.
--
-- Run after schema.sql, by the owner of its objects (or a superuser). Running it again brings the grants back to
-- exactly these. Every table, view, sequence and function of schema.sql is named here; a test holds the two
-- scripts to that, so an object added to the schema is given to the roles that use it (or said to need none).
\set ON_ERROR_STOP on
set client_min_messages = warning;

do $$
declare
    r text;
begin
    foreach r in array array['kesta_reporting', 'kesta_foreman', 'kesta_warehouse', 'kesta_full'] loop
        if not exists (select 1 from pg_roles where rolname = r) then
            execute format('create role %I nologin', r);
        end if;
    end loop;
end $$;

grant kesta_reporting to kesta_foreman, kesta_warehouse;
grant kesta_foreman, kesta_warehouse to kesta_full;

-- Start from nothing, so that a grant taken out of this script is taken from the database too.
revoke all on all tables in schema accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_classifier, hrms_staffpos,
    cmn_department, adm_role from kesta_reporting, kesta_foreman, kesta_warehouse, kesta_full;
revoke all on all sequences in schema accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_classifier, hrms_staffpos,
    cmn_department, adm_role from kesta_reporting, kesta_foreman, kesta_warehouse, kesta_full;
revoke all on schema accounts_dep, cmn_contractor, cmn_gds_and_srv, cmn_classifier, hrms_staffpos, cmn_department,
    adm_role from kesta_reporting, kesta_foreman, kesta_warehouse, kesta_full;

-- ---- kesta_reporting: every start, the journal window, the reports ----

grant usage on schema public, accounts_dep, cmn_contractor to kesta_reporting;
-- Casts of the journal's and the reports' statements.
grant usage on domain public.t_id, public.t_integer to kesta_reporting;
-- The build stamp: every start reads it, and a newer build moves it forward, whoever starts it, through the owner's
-- function, which moves it only forward and never past the server's clock.
grant select on accounts_dep.ver to kesta_reporting;
grant execute on function accounts_dep.raise_build_stamp(integer, integer) to kesta_reporting;
-- Advisory locks: the build-stamp check takes one; the changes below take the others.
grant execute on function pg_catalog.pg_advisory_xact_lock(integer, integer),
    pg_catalog.pg_advisory_xact_lock_shared(integer, integer) to kesta_reporting;
-- The journal of a day (with the workers' names and the month's closed state), the four reports and the
-- production export; the norms, which the program reads whole when it starts. accounts_dep.izdel is a view over
-- cmn_gds_and_srv.gds_and_srv, read with its owner's rights.
grant select on accounts_dep.smena, accounts_dep.oper, accounts_dep.vid_oper, accounts_dep.izdel,
    accounts_dep.norm, accounts_dep.closed_month, cmn_contractor.person to kesta_reporting;

-- ---- kesta_foreman: new journal rows ----

-- The entry editor's chooser of workers (accounts_dep.person, a view over cmn_contractor.person).
grant select on accounts_dep.person to kesta_foreman;
-- The save: the row (checked by accounts_dep.smena_row_allowed), then the worker's hours of that day recomputed
-- into the timesheet by the owner's function; the timesheet itself is only read. The closed-month guard refuses a
-- closed month with refuse_closed.
grant insert on accounts_dep.smena to kesta_foreman;
grant usage on sequence accounts_dep.smena_id_seq to kesta_foreman;
grant select on accounts_dep.h_tabel to kesta_foreman;
grant execute on function accounts_dep.timesheet_day(integer, integer, date, boolean) to kesta_foreman;
grant execute on function accounts_dep.refuse_closed(integer, integer) to kesta_foreman;

-- ---- kesta_warehouse: the acceptance mark ----

-- Only the mark: the row is locked (select ... for update, which an update right on one column allows) and its
-- mark written. Quantities, prices and dates stay out of reach.
grant update (ok) on accounts_dep.smena to kesta_warehouse;
grant execute on function accounts_dep.refuse_closed(integer, integer) to kesta_warehouse;

-- ---- kesta_full: everything the program does ----

grant usage on schema cmn_gds_and_srv, cmn_classifier, hrms_staffpos, cmn_department, adm_role to kesta_full;
-- Journal rows changed and deleted; the timesheet rebuilt (by the owner's function) and its months closed and
-- opened again; the history of journal rows read.
grant select, insert, update, delete on accounts_dep.smena to kesta_full;
grant execute on function accounts_dep.rebuild_timesheet_month(integer, integer) to kesta_full;
grant select, insert, delete on accounts_dep.closed_month to kesta_full;
grant select on accounts_dep.smena_history to kesta_full;
-- The history of prices and norms (accounts_dep.price_history): who changed an operation's price or norms and when.
grant select on accounts_dep.price_history to kesta_full;
-- The catalogues: workers (through the view accounts_dep.person; a change locks the person's row, which takes an
-- update right on it), products (the enterprise's goods), operation kinds, operations and their norms.
grant select, insert, update, delete on accounts_dep.person, accounts_dep.vid_oper, accounts_dep.oper,
    accounts_dep.norm to kesta_full;
grant select, update on cmn_contractor.person to kesta_full;
grant select, insert, update on cmn_gds_and_srv.gds_and_srv to kesta_full;
grant usage on sequence cmn_contractor.person_id_seq, cmn_gds_and_srv.gds_and_srv_id_seq,
    accounts_dep.vid_oper_id_seq, accounts_dep.oper_id_seq, accounts_dep.norm_id_seq to kesta_full;
-- The editors' lists: product groups, staff positions, departments, roles of the enterprise.
grant select on cmn_classifier.item, hrms_staffpos.staffpos, cmn_department.department, adm_role.roles
    to kesta_full;

-- ---- what no role is granted ----

-- Sequences of rows the program never adds: cmn_classifier.item_id_seq, cmn_department.department_id_seq,
-- hrms_staffpos.staffpos_id_seq, adm_role.roles_id_seq; nor does any login add timesheet rows
-- (accounts_dep.h_tabel_id_seq): the owner's functions do.
--
-- Functions that run as the owner: only the groups above call them (a function is anybody's to call unless taken
-- from PUBLIC), each with a search path of its own so that a caller's objects cannot stand in for the owner's.
revoke all on function accounts_dep.raise_build_stamp(integer, integer),
    accounts_dep.timesheet_day(integer, integer, date, boolean), accounts_dep.rebuild_timesheet_month(integer, integer)
    from public;
alter function accounts_dep.raise_build_stamp(integer, integer) security definer
    set search_path = pg_catalog, pg_temp;
alter function accounts_dep.timesheet_day(integer, integer, date, boolean) security definer
    set search_path = pg_catalog, pg_temp;
alter function accounts_dep.rebuild_timesheet_month(integer, integer) security definer
    set search_path = pg_catalog, pg_temp;
--
-- The history of journal rows is written by its triggers alone, so nobody can write or rewrite it by hand: they
-- run as the owner of the table (accounts_dep.smena_history and accounts_dep.smena_history_id_seq get no grant).
alter function accounts_dep.smena_history_insert() security definer set search_path = pg_catalog, pg_temp;
alter function accounts_dep.smena_history_update() security definer set search_path = pg_catalog, pg_temp;
alter function accounts_dep.smena_history_delete() security definer set search_path = pg_catalog, pg_temp;
alter function accounts_dep.month_history() security definer set search_path = pg_catalog, pg_temp;
-- So is the history of prices and norms (accounts_dep.price_history, accounts_dep.price_history_id_seq: no grant).
alter function accounts_dep.price_history() security definer set search_path = pg_catalog, pg_temp;
-- The group and address it records (accounts_dep.login_group) are the server's: session_user, whoever runs it.
--
-- Trigger functions run as part of the change that fires them and need no grant: the defaults of persons
-- (cmn_contractor.person_default_code), the guards against deleting what the journal uses
-- (accounts_dep.person_in_journal, accounts_dep.vid_oper_in_use, accounts_dep.oper_in_journal,
-- accounts_dep.product_in_journal), the announcements (accounts_dep.announce_journal, accounts_dep.announce_timesheet,
-- accounts_dep.announce_catalogue, accounts_dep.announce_month), the closed-month guards
-- (accounts_dep.journal_month_open, accounts_dep.timesheet_month_open, accounts_dep.closing_month,
-- accounts_dep.truncate_closed) and what a journal row may hold (accounts_dep.smena_row_allowed, which reads with the
-- rights of the login that writes, and accounts_dep.restore_allowed, which it calls for a deleted row written back:
-- a restore reads the history, which only kesta_full may).
