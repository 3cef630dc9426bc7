// Texts of the backdrop and the running-product check (GBK).
#pragma once
#include <string>
#include <string_view>

#include "setupdata/product_info.h"

namespace tavix {

// The backdrop's title band, footer lines and the running-product question.
std::string BackdropTitle();
std::string FooterWebLine();
std::string FooterMakerLine();
std::string ProductRunningQuestion();

// True when a process's executable (a path or a bare name, GBK) is the
// product: its file name part is exactly one of the four spellings the
// product has been shipped under.
bool IsProductExeName(std::string_view exeFile);

// Why the control file (GBK text) cannot drive an installation, or empty when
// it can: [Form] Caption must be given, [Run] FileName must be a plain file
// name (no folder, no ":", no ".."), and [Form] desKtopLink must be one "\"
// and a file name ending in ".lnk". A setup whose control file fails this is
// damaged, or its temporary copy was changed.
std::string ControlFileProblem(std::string_view controlText);

} // namespace tavix
