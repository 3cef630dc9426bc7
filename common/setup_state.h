// What the backdrop, the wizard and the installation window share: one
// object, owned by the program entry and handed to each form. A form tells
// another something only through this state or one of its callbacks.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "setupdata/ini.h"
#include "ui/registry.h"

struct SetupState {
    // The temporary folder of the control files, ending in a backslash.
    std::string TempDir;
    // The installation folder: written by the wizard, read by the installation.
    std::string InstallDir;
    // [Form] Serial, copied by the wizard when it opens.
    std::string VersionSerial;
    // The wizard's caption, [Form] Caption: the program group, its items and
    // the document type are named after it.
    std::string Caption;
    // The wizard's two check boxes: "创建桌面快捷方式" and "运行软件".
    bool CreateDesktopLink = true;
    bool RunAfterInstall = true;
    // The installation has been handed over or has completed.
    bool InstallStarted = false;
    // The installation runs without the wizard (/S, /PASSIVE): nothing may
    // open a window of its own, the shell's window of a new program group
    // included.
    bool Silent = false;
    // The accessor of the uninstall entry (HKEY_CURRENT_USER), made by the wizard.
    std::unique_ptr<ui::Registry> SetupRegistry;

    // The texts of the control file and of the manifest, read afresh on
    // every call: from the temporary copies when the wizard runs, from the
    // setup's own items when it installs silently.
    std::function<std::string()> ControlText;
    std::function<std::string()> ManifestText;

    // The value of `key` in `section` of the control file; empty when absent.
    std::string ReadSetupIni(const std::string& section, const std::string& key) const {
        return ControlText ? tavix::IniLookup(ControlText(), section, key) : std::string();
    }

    // Set by the backdrop: ends the setup (the control files are deleted and
    // every window goes), and runs the installation window modally.
    std::function<void()> EndSetup;
    std::function<void()> StartInstallation;
    // Set by the wizard: brings it back on its finish page after a completed
    // installation.
    std::function<void()> ShowFinishPage;
};
