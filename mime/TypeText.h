#pragma once
// The type text of a file: the catalog's "Type" column and the type shown in
// the folder lists. Both the window and kvr ask here, so a file gets the same
// text whichever program stored it.
//
// The type is found from the file's name alone (its extension, as the
// desktop's MIME database knows it; the file is never opened), and its text is
// the type's French comment from the shared-mime-info database, or its English
// comment when the type has no French one, whatever the user's locale.

#include <QString>
#include <string>

class QMimeType;

namespace kv {

// The type text of the file at path (a Windows path; only the name after the
// last backslash counts). Empty when the database knows no type at all.
std::string TypeTextOf(const std::string& path);

// The French comment of a MIME type, else its English comment.
QString TypeTextOfMime(const QMimeType& type);

}  // namespace kv
