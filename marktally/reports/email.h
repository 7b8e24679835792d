// E-mail addresses as the whole program checks them.
#pragma once

#include "marktally/model/types.h"

// Whether an acceptable address starts at byte position start (from 1) of text: a user
// name, an '@', a domain, a '.' and an ending of two or more characters, without blanks
// or doubled dots. Only the text up to the accepting byte is examined; callers check each
// further address at the byte after a blank.
bool ValidEmail(ConstStringPtr text, int start);
