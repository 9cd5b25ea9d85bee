#pragma once
// The program's string table: texts by numeric id.
//
// A command's entry holds its status-bar prompt, a newline and its tooltip ("prompt\ntooltip").
// A document template's entry (IDR_FRAMESVIEW, IDR_BANNERVIEW) holds seven newline-separated
// fields, see DocStringIndex.
#include <QString>

// The text of string-table entry `id`; empty when there is no such entry.
QString LoadResString(unsigned id);
// 0 and the text, or -1 when the entry does not exist.
int LoadResString(unsigned id, QString *text);

// The status-bar prompt of command `id`: its entry up to the first newline.
QString LoadPrompt(unsigned id);
// The tooltip of command `id`: its entry after the first newline; empty when there is none.
QString LoadToolTip(unsigned id);

// The fields of a document template's string, in order.
enum class DocStringIndex {
    WindowTitle,     // title of the main window while the template's document is active
    DocName,         // root of new documents' names ("Banner" gives Banner1, Banner2, ...)
    FileNewName,     // name offered by File New; empty: the template makes no new documents
    FilterName,      // file dialog filter text
    FilterExt,       // extension with its dot
    RegFileTypeId,   // file type identifier registered with the desktop
    RegFileTypeName, // readable file type name
};
// Field `index` of the document string of template `templateId`. False when the template has
// no string or the string has no such field; an empty field is a success with empty text.
bool GetDocString(unsigned templateId, DocStringIndex index, QString *text);
