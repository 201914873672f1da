// Reversible scrambling of stored logins and passwords: three decimal digits
// per byte. No key takes part; this hides text from a glance, nothing more.
#pragma once

#include <string>

// Each byte as three decimal digits with leading zeros ("abc" -> "097098099");
// bytes of 128 and above as their unsigned value ("\xE9" -> "233").
std::string UsrEncriptaSenha(std::string clear);

// Each group of three characters gives one byte: (c1-48)*100 + (c2-48)*10 +
// (c3-48), low 8 bits; characters are not checked. A trailing group of one or
// two characters is dropped.
std::string UsrDesencriptaSenha(std::string scrambled);
