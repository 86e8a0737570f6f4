#pragma once
// Whether a script's batches may run as one transaction on the server. One
// transaction per script spares a commit (a log flush on the server) per
// batch, and a script cut off half-way leaves nothing behind. Some batches
// cannot run inside a transaction at all, or would end it themselves; the
// scripts holding them run batch by batch, each committed on its own.
#include <string>
#include <vector>

namespace t7::odbc {

// False when a batch (outside comments, literals and quoted names):
//  - creates, alters, drops, backs up or restores a database, reconfigures
//    the server, or works on logins, full-text catalogs or statistics,
//    none of which SQL Server runs inside a transaction;
//  - calls a procedure, other than in the body of a procedure, function,
//    trigger or view it defines: system procedures that change master
//    refuse to run inside a transaction, and what a procedure or dynamic
//    SQL does is not known here;
//  - begins, commits, rolls back or saves a transaction itself.
bool fitsOneTransaction(const std::vector<std::wstring>& batches);

}  // namespace t7::odbc
