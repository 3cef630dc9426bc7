// Texts of the backdrop and the running-product check (GBK).
#pragma once
#include <string>
#include <string_view>

#include "setupdata/product_info.h"

namespace tavix {

// The backdrop's title band: the release the setup carries, named by its
// [Form] Caption, without a build mark at the end of its edition note
// ("Quorvixv2.8.2.6（标准版-m）" shows as "Quorvixv2.8.2.6（标准版）"); the
// product's name when the caption is empty.
std::string BackdropTitle(std::string_view caption);
// The footer lines and the running-product question.
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
