#!/usr/bin/env python3
"""Writes the committed text files of the sample release into resources/release/.

The outputs are committed; run this again only after changing the tables below,
and commit what it writes.  It is deterministic: a second run writes the same bytes.

  Setup.ini          setup control file (FileTxt6), GBK, CR LF
  Setup.log          install manifest (FileTxt5), GBK, CR LF, no line end after the last line
  用户授权协议.txt   licence agreement (FileTxt4)
  Options.ini        the product's default options (FileIni)
  History.txt        version history (FileTxt1)
  Readme.txt         read-me (FileTxt2)
  standins.txt       UTF-8: target path TAB size, for every item that gen_release generates

Usage: tools/make_sample_release.py [out_dir]   (default: resources/release next to tools/)
"""
import os
import sys

CRLF = "\r\n"

# ---------------------------------------------------------------- Setup.ini

SETUP_INI_CURRENT = [
    "[***]",
    "[Form]",
    "Caption=Quorvixv2.8.2.6（标准版-m）",
    "Serial=02080206",
    "Version=2.8.2.6（标准版-m）",
    "SQXY=用户授权协议",
    "desKtopLink=\\Quorvixv2.8.0(m).lnk",
    "",
    "[SetupDir]",
    "Drive=D:",
    "DirName=Tavix280",
    "SetupPath=D:\\Program Files\\Tavix280",
    "",
    "[Run]",
    "FileName=TAVI.exe",
    "RJSize=12",
]

# The control file of release 2.72, kept below the current values.
SETUP_INI_EARLIER = [
    "[***]",
    "[Form]",
    "Caption=Quorvixv2.72（标准版）",
    "Serial=27200",
    "Version=2.72（标准版）",
    "SQXY=用户授权协议",
    "desKtopLink=\\Quorvix v2.72(标准版).lnk",
    "",
    "[SetupDir]",
    "Drive=D:",
    "DirName=Tavix272",
    "SetupPath=D:\\Program Files\\Tavix272",
    "",
    "[Run]",
    "FileName=TAVI.exe",
    "RJSize=15",
]


def setup_ini():
    lines = list(SETUP_INI_CURRENT)
    lines.append("")
    lines.append("-以前的备份：--------------------")
    lines += [("Ren " + l) if l else "" for l in SETUP_INI_EARLIER]
    lines += ["", ""]
    return "".join(l + CRLF for l in lines)


# ---------------------------------------------------------------- manifest
# Each entry: (resource name, resource type, target path, stand-in size or None).
# None marks a file that is committed here or one of the two built programs.

MANIFEST = [
    ("FileExe", "exename", "TAVI.exe", None),
    ("uninstall", "exename", "Uninstall.exe", None),
    ("Filehelp", "hename", "help.chm", 4218930),
    ("FileIni", "ininame", "Options.ini", None),
    ("FileTxt1", "txtname", "History.txt", None),
    ("FileTxt2", "txtname", "Readme.txt", None),
    ("FileTxt4", "txtname", "用户授权协议.txt", None),
    ("FileTxt5", "txtname", "Setup.log", None),
    ("FileTxt6", "txtname", "Setup.ini", None),
]

CYLIB = [
    ("1d", "CYFood.dat", 1418752),
    ("1i", "CYFood.idx", 47104),
    ("2d", "CYFoodT.dat", 286720),
    ("2i", "CYFoodT.idx", 12288),
    ("2b", "CYFoodT.lbs", 3584),
    ("3d", "CYBaseT.dat", 524288),
    ("3i", "CYBaseT.idx", 20480),
    ("3b", "CYBaseT.blb", 902144),
    ("4", "CYLib.lbs", 1536),
    ("5d", "CYDish.dat", 372736),
    ("5i", "CYDish.idx", 16384),
]
for suffix, name, size in CYLIB:
    table = suffix[0]
    MANIFEST.append(("CYLibDB" + suffix, "DBname" + table, "CYLib\\" + name, size))

for i, size in enumerate([58312, 41877, 73160], start=1):
    MANIFEST.append(("PrintFile%d" % i, "name%d" % i, "PrintFiles\\Print%d.fr3" % i, size))

SDB_TABLES = [
    (1, [("d", "Food.dat", 2359296), ("i", "Food.idx", 63488)]),
    (2, [("d", "FoodType.dat", 8192), ("i", "FoodType.idx", 2048)]),
    (3, [("d", "Nutrient.dat", 24576), ("i", "Nutrient.idx", 4096)]),
    (4, [("d", "DRIS.DAT", 196608), ("i", "DRIS.IDX", 9216)]),
    (5, [("d", "Dish.dat", 1105920), ("i", "Dish.idx", 38912)]),
    (6, [("d", "DishFood.dat", 688128), ("i", "DishFood.idx", 55296)]),
    (7, [("d", "Crowd.DAT", 45056), ("i", "Crowd.IDX", 3072)]),
    (8, [("a", "Image\\Move1.BMP", 360054), ("b", "Image\\Move2.BMP", 230454)]),
    (9, [("d", "Disease.dat", 131072), ("i", "Disease.idx", 6144)]),
    (10, [("d", "Labour.dat", 1024), ("i", "Labour.idx", 36)]),
    (11, [("d", "Measure.dat", 16384), ("i", "Measure.idx", 2560)]),
    (12, [("d", "Recipe.dat", 417792), ("i", "Recipe.idx", 24576)]),
    (13, [("d", "Help.DAT", 614400), ("i", "Help.IDX", 10240), ("b", "Help.BLB", 27704320)]),
]
for table, files in SDB_TABLES:
    for suffix, name, size in files:
        MANIFEST.append(("SdbFileDB%d%s" % (table, suffix), "DBname%d" % table,
                         "SdbFile\\" + name, size))
for i, size in enumerate([5318, 3870, 7406, 2215, 6094, 4473, 1962, 8840], start=1):
    MANIFEST.append(("SdbFileTxt%d" % i, "Txtname%d" % i, "SdbFile\\QLr%d.txt" % i, size))
MANIFEST.append(("SdbFiledes", "desname", "SdbFile\\SwCalculator.des", 2731))

MENU_ROOT = "UserFile\\食谱范例\\"
MENUS = [
    ("jf", "减肥食谱", [
        "减肥食谱[1200千卡](女).Qvt",
        "减肥食谱[1400千卡](女).Qvt",
        "减肥食谱[1700千卡](女).Qvt",
        "减肥食谱[1600千卡](男).Qvt",
        "减肥食谱[1800千卡](男).Qvt",
        "减肥食谱[2000千卡](男).Qvt",
    ]),
    ("Ln", "老年食谱", [
        "老年食谱[男60-69岁].Qvt",
        "老年食谱[女60-69岁].Qvt",
        "老年食谱[男70-79岁].Qvt",
        "老年食谱[女70-79岁].Qvt",
        "老年食谱[80岁以上].Qvt",
        "老年糖尿病食谱[1600千卡].Qvt",
    ]),
    ("Xs", "学生食谱", [
        "小学生食谱[7-10岁].Qvt",
        "小学生食谱[11-13岁].Qvt",
        "中学生食谱[男14-17岁].Qvt",
        "中学生食谱[女14-17岁].Qvt",
        "大学生食谱(男).Qvt",
        "大学生食谱(女).Qvt",
        # 鋅 is 0xE4 0x5C in GBK: its second byte is a backslash.
        "补鋅食谱[学龄儿童].Qvt",
    ]),
    ("YR", "孕妇乳母", [
        "孕早期食谱[1-12周].Qvt",
        "孕中期食谱[13-27周].Qvt",
        "孕晚期食谱[28-40周].Qvt",
        "乳母食谱[产后1-6月].Qvt",
        "乳母食谱[产后7-12月].Qvt",
        "妊娠糖尿病食谱.Qvt",
    ]),
    ("Zc", "正常人群", [
        "轻体力食谱[男18-岁].Qvt",
        "轻体力食谱[女18-岁].Qvt",
        "中体力食谱[男18-岁].Qvt",
        "重体力食谱[男18-岁].Qvt",
        "重体力食谱[女18-岁].Qvt",
        # 錦 is 0xE5 0x5C in GBK.
        "什錦家常食谱[一周].Qvt",
        "中体力食谱[女18-岁].Qvt",
        "素食者食谱(男).Qvt",
        "素食者食谱(女).Qvt",
    ]),
]
MENU_SIZES = [
    3412, 3388, 3526, 3470, 3618, 3702,
    3254, 3190, 3106, 3048, 2986, 4120,
    2874, 3012, 3366, 3298, 3540, 3482, 2760,
    3604, 3788, 3942, 4016, 4088, 3850,
    3322, 3276, 3584, 3890, 3812, 5236, 3498, 3158, 3104,
]

MANIFEST.append(("UserFile", "name1", "UserFile\\用户菜肴库范例.Cys", 21874))
_k = 0
for code, folder, files in MENUS:
    for number, name in enumerate(files, start=1):
        # The type follows the item number within its group; Zc7 to Zc9 wrap to name1..name3.
        type_number = number - 6 if code == "Zc" and number >= 7 else number
        MANIFEST.append(("UserFile_%s%d" % (code, number), "name%d" % type_number,
                         MENU_ROOT + folder + "\\" + name, MENU_SIZES[_k]))
        _k += 1

XSZN = [
    ("XsznFile1", "XsznText\\ZhiNan.rtf", 48630),
    ("XsznFile11", "XsznText\\ZhiNan1.rtf", 36214),
    ("XsznFile12", "XsznText\\ZhiNan2.rtf", 41902),
    ("XsznFile13", "XsznText\\ZhiNan3.rtf", 29578),
    ("XsznFile14", "XsznText\\ZhiNan4.rtf", 33466),
    ("XsznFile15", "XsznText\\ZhiNan5.rtf", 52118),
    ("XsznFile16", "XsznText\\ZhiNan6.rtf", 27340),
    ("XsznFile17", "XsznText\\ZhiNan7.rtf", 38756),
    ("XsznFile2", "XsznText\\BaoTa.rtf", 86274),
    ("XsznFile3", "XsznText\\DRIs.rtf", 124608),
    ("XsznFile4", "XsznText\\YyZhiShi.chm", 3061588),
]
for name, path, size in XSZN:
    MANIFEST.append((name, "name", path, size))


def setup_log():
    return CRLF.join("%s %s %s" % (n, t, p) for n, t, p, _ in MANIFEST)


def standins():
    return "".join("%s\t%d\n" % (p, s) for _, _, p, s in MANIFEST if s is not None)


# ---------------------------------------------------------------- documents

LICENCE = """Quorvix 营养计算软件
最终用户许可协议

重要提示：请在安装、复制或使用本软件之前仔细阅读本协议。本协议是您（个人或单一实体，以下称"用户"）与 Velmora 公司（以下称"Velmora"）之间关于 Quorvix 营养计算软件（以下称"本软件"）的法律协议。本软件包括计算机程序、食物成分数据库、食谱范例、电子文档及其他相关资料。一旦安装、复制或以其他方式使用本软件，即表示您同意接受本协议各项条款的约束。如果您不同意本协议的条款，请不要安装或使用本软件。

一、许可的授予
1. Velmora 授予用户一项非独占的、不可转让的许可：在一台计算机上安装和使用本软件的一个副本。
2. 用户可以为备份目的制作本软件的一个副本，该副本只能用于在原始副本损坏或丢失时恢复安装。
3. 如需在多台计算机或网络环境中使用本软件，用户应当另行购买相应数量的许可。

二、知识产权
1. 本软件（包括但不限于其中的程序代码、图像、文字、食物成分数据和食谱范例）的著作权及其他知识产权归 Velmora 所有，受《中华人民共和国著作权法》、《计算机软件保护条例》及有关国际条约的保护。
2. 本协议不转让本软件的任何所有权。Velmora 保留本协议未明确授予用户的一切权利。

三、使用限制
1. 用户不得对本软件进行反向工程、反向编译或反汇编，法律明确允许的除外。
2. 用户不得出租、出借、出售或以其他方式转让本软件，也不得将本软件用于提供商业性的计算服务。
3. 用户不得删除或修改本软件及其文档中的版权标识和商标。
4. 用户不得将本软件所附的数据库单独提取、复制或发布。

四、数据与结果
本软件所附的食物成分数据和膳食营养素参考摄入量取自公开发布的资料，并经 Velmora 整理。本软件的计算结果和食谱范例仅供营养配餐和教学参考，不能代替医生或营养师的专业意见。用户根据计算结果作出的任何决定，由用户自行负责。

五、有限担保
Velmora 担保本软件的存储介质自购买之日起九十日内无材料和工艺上的缺陷。在担保期内，如存储介质出现缺陷，Velmora 将予以免费更换。除此之外，本软件按"现状"提供，Velmora 不作任何明示或默示的担保，包括但不限于适销性和适用于特定用途的担保。

六、责任限制
在法律允许的最大范围内，Velmora 对因使用或不能使用本软件而造成的任何间接的、附带的或后果性的损失（包括但不限于利润损失、数据丢失和业务中断）不承担责任，即使 Velmora 已被告知发生此类损失的可能性。在任何情况下，Velmora 的全部责任不超过用户为本软件实际支付的金额。

七、升级与技术支持
注册用户可以享受 Velmora 提供的免费技术咨询，并可以优惠价格获得本软件的升级版本。升级版本受本协议或随升级版本提供的协议的约束。

八、协议的终止
如用户违反本协议的任何条款，Velmora 有权终止本协议。协议终止时，用户必须销毁本软件的全部副本。

九、适用法律
本协议受中华人民共和国法律管辖。因本协议引起的争议，双方应友好协商解决；协商不成的，任何一方均可向 Velmora 所在地的人民法院提起诉讼。

如果您对本协议有任何疑问，请与 Velmora 联系。

Velmora 公司
"""

OPTIONS_INI = """[System]
Version=2.8
DataPath=SdbFile
UserPath=UserFile
[Option]
Reset=0
ShowTips=1
AutoSave=1
SaveMinutes=10
EnergyUnit=千卡
Standard=中国居民膳食营养素参考摄入量
RecentMax=8
[Window]
Maximized=1
Left=40
Top=30
Width=800
Height=600
[Print]
Template=PrintFiles\\Print1.fr3
PaperSize=A4
Copies=1
[Recent]
Count=0
"""

HISTORY = """Quorvix 版本历史

2.8.2.6（标准版-m）
  * 食物成分数据库按最新资料更新，增加食物 200 余种。
  * 食谱范例增加"正常人群"和"孕妇乳母"两组。
  * 修正打印营养分析报告时页脚显示不全的问题。

2.8.0（标准版）
  * 新增膳食宝塔对照图和营养知识帮助。
  * 菜肴库支持导入和导出。
  * 计算器增加能量单位换算。

2.72（标准版）
  * 增加老年食谱和学生食谱范例。
  * 改进食谱评价的显示速度。

2.5（标准版）
  * 首次发布。
"""

README = """Quorvix 营养计算软件 2.8.2.6（标准版-m）

运行环境：Windows 2000/XP/Vista/7，屏幕分辨率 800×600 以上。

安装后可从桌面快捷方式或"开始"菜单中的程序组启动 Quorvix。
软件的使用方法请参阅程序组中的"使用说明"。
食谱范例位于安装文件夹的 UserFile\\食谱范例 中，双击 .Qvt 文件即可打开。

技术支持：Velmora 公司
"""


def crlf(text):
    return text.replace("\n", CRLF)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "release")
    os.makedirs(out, exist_ok=True)
    outputs = {
        "Setup.ini": setup_ini().encode("gbk"),
        "Setup.log": setup_log().encode("gbk"),
        "用户授权协议.txt": crlf(LICENCE).encode("gbk"),
        "Options.ini": crlf(OPTIONS_INI).encode("gbk"),
        "History.txt": crlf(HISTORY).encode("gbk"),
        "Readme.txt": crlf(README).encode("gbk"),
        "standins.txt": standins().encode("utf-8"),
    }
    for name, data in outputs.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
