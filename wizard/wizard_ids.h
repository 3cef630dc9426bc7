// Control ids of the wizard window, shared with the end-to-end driver that
// finds the controls by them.
#pragma once

namespace wizard_ids {

// button bar
constexpr int kBtnNext = 1001;
constexpr int kBtnPri = 1002;
constexpr int kBtnExit = 1003;
// top band and pages
constexpr int kLabel4 = 1010;  // band title
constexpr int kLabel5 = 1011;  // band subtitle
constexpr int kLabel6 = 1012;  // welcome title
constexpr int kLabel7 = 1013;  // welcome text
constexpr int kLabel2 = 1014;  // ready text
constexpr int kLabel8 = 1015;  // finish title
constexpr int kLabel9 = 1016;  // finish text
constexpr int kLabel3 = 1017;  // folder page prompt
constexpr int kLabel1 = 1018;  // "磁盘空间(双击鼠标选择)"
constexpr int kMemo1 = 1020;
constexpr int kRadioButton1 = 1021;
constexpr int kRadioButton2 = 1022;
constexpr int kEditPath = 1030;
constexpr int kButton1 = 1031;  // browse
constexpr int kDiskGrid = 1032;
constexpr int kChbDesktop = 1033;
constexpr int kChbRun = 1034;
constexpr int kFieldStatus1 = 1040;  // .. kFieldStatus1 + 4: the grid's header panes
// panels
constexpr int kPage0 = 1100;  // .. kPage0 + 5: the notebook's pages
constexpr int kPanelTop = 1110;
constexpr int kImagLeft = 1111;
constexpr int kPanel1 = 1112;
constexpr int kPanel2 = 1113;
constexpr int kButtonBar = 1114;
constexpr int kPanel3 = 1115;

}  // namespace wizard_ids
