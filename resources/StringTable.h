#pragma once
// The program's string table: texts by numeric id.
#include <QString>

// The text of string-table entry `id`; empty when there is no such entry.
QString LoadResString(unsigned id);
// 0 and the text, or -1 when the entry does not exist.
int LoadResString(unsigned id, QString *text);
