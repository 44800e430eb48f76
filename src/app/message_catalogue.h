#pragma once

#include <QString>

#include <span>

// Every user-visible text of the program, built-in English, in groups of key/text pairs:
// Menu, General, Msg, Dialog, Preferences, About, Custom-Converter, Uninstall. The catalogue is
// constant data compiled into the program; its lookup index is built once on first use and is
// read-only afterwards.

// One entry of the built-in table, as written (key and text in their own letter case).
struct MessageEntry {
    const char* key;
    const char* text;
};

struct MessageGroup {
    const char* name;
    std::span<const MessageEntry> entries;
};

// The built-in table in table order.
std::span<const MessageGroup> builtInMessageGroups();

// Builds the lookup index now, so that the first lookup does not pay for it.
void loadMessageCatalogue();

// Text of `group`/`key`, both matched without regard to letter case; "%NO_STRING_ERROR%" when the
// group or the key is not in the catalogue.
QString message(const QString& group, const QString& key);
// The same with the name written as "Group/Key", split at the first "/".
QString message(const QString& groupAndKey);

// Replaces "%s1%".."%s4%" (any letter case) by s1..s4, in that order, each on the result of the one
// before. An empty value leaves its placeholder in the text.
QString substituteMessage(const QString& text, const QString& s1 = {}, const QString& s2 = {}, const QString& s3 = {},
                          const QString& s4 = {});
