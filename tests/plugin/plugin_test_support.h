#pragma once

#include <string>

// The failure message for fileName, built here from its bytes rather than from the
// plug-in's own texts: "Не могу создать файл <fileName>. Экспорт не произведен."
std::string ExpectedCannotCreateMessage(const std::string& fileName);
// "WUX экспорт"
std::string ExpectedCannotCreateCaption();
