// CKvrOposUtilityDoc: the device data model of the utility. Device and logical-name lists,
// installed Windows printers, the values of the selected device and of the device being
// added, the model table, loading with checks and repairs, committing, adding and deleting
// through CRegistry, and the health-check launch. It owns no window: the frame, the tree, the
// forms and the wizard pages read and write its fields and call its operations.
#pragma once
#include "DeviceValues.h"
#include "FrameLogic.h"
#include "ModelTable.h"
#include "Registry.h"
#include "TreeModel.h"
#include "UserMessages.h"
#include "Win.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

// Wizard bookkeeping shared by the frame's commands, the wizard pages and the forms.
struct WizardState {
  int startCode = -1;            // -1 no wizard; 0 class page, 1 model, 2 driver, 3 drawer pages
  int lastPageIndex = 0;         // last content page left by Back or Next
  bool invalidEntry = false;     // a form's edit holds a value that would not be stored
  bool logicalNameMode = false;  // the Add Logical Device Name wizard runs
  bool classPageShown = false;   // that wizard began with the class page
  bool contextMenu = false;      // the command came from the tree's context menu
};

class CKvrOposUtilityDoc {
 public:
  // WinExec's shape; tests put a recorder in its place.
  using Launcher = UINT(WINAPI*)(LPCSTR commandLine, UINT show);

  explicit CKvrOposUtilityDoc(const RegistryLocation& where = {},
                              IUserMessages* messages = nullptr);
  CKvrOposUtilityDoc(const CKvrOposUtilityDoc&) = delete;
  CKvrOposUtilityDoc& operator=(const CKvrOposUtilityDoc&) = delete;

  CRegistry& Registry() { return m_registry; }
  IUserMessages& Messages() { return *m_messages; }

  // ---- model table (the document's own copy: the present flags change at run time)
  const ModelInfo& ModelRow(int index) const { return m_models[index]; }
  const ModelInfo& CurrentModel() const { return m_models[m_modelRow]; }
  int CurrentModelIndex() const { return m_modelRow; }
  void SetModelRow(int index);
  // The last row whose model name begins the name; row 0 matches every name.
  int FindModelRowForName(const std::string& name) const;
  // The same over rows 1 and up; the current row stays when none matches. True on a match.
  bool SelectModelRowForNewDevice(const std::string& name);
  // The model's module for the class (its sub-module file, or its core file when it has none)
  // lies beside the program.
  bool IsModelModulePresent(int row, DeviceClass cls) const;

  // ---- lists, rebuilt whenever the tree is filled
  void ReloadDevices();          // installed Windows printers, then which device uses which
  void EnumerateAllDevices();
  void ClassifyAllDevices();     // maker's-device flags and the models' present flags
  void EnumerateAllClasses();    // logical names
  void FindInstalledPrinters();
  std::vector<DeviceRecord> m_devices[kDeviceClassCount];
  std::vector<LogicalNameRecord> m_logicalNames[kDeviceClassCount];
  std::vector<InstalledPrinter> m_installedPrinters;
  // Service object registered, per class; line display and scanner stay false in this build.
  bool m_classAvailable[kDeviceClassCount] = {};

  // ---- tree selection
  // The tree's selection changed to path: commits the device shown so far, stores the node
  // type, position code and texts, picks the model row and loads the device. Answers the
  // right-hand form to show (RightViewForNode).
  int OnTreeSelectionChanged(const TreePath& path);
  void ResetSelection();         // node type 1, selected texts empty (a fresh tree)
  int m_nNodeType = kNodeKvrGroup;
  int m_nTreePosition = 0;
  std::string m_selectedText;    // text of the selected item
  std::string m_parentText;      // text of its parent
  std::string m_newSelectedText; // text of the item being selected
  std::string m_selectedDeviceName;

  // ---- the selected device
  void LoadSelectedDevice();
  void SetSelectedDefaults(const ModelInfo& row);
  void LoadDeviceValues(DeviceClass cls, const ModelInfo& row,
                        const std::vector<std::string>& read);
  void RepairPrinterEntry(const ModelInfo& row);
  void RepairCashDrawerEntry(const ModelInfo& row);
  // Writes the values of the device loaded last back to its key (see the .cpp); 1 written.
  int CommitSelectedDevice();
  // The form being edited hands its pending edits (a value still in its focused edit) to the
  // selected-device values; run before every write of them. Empty: none to take.
  void SetPendingEditsSource(std::function<void()> source) { m_pendingEdits = std::move(source); }
  const std::string& LoadedDeviceName() const { return m_loaded.name; }
  DeviceValues m_selected;
  bool m_fRepaired = false;      // the last repair changed a value

  // ---- adding and deleting
  void SetNewDeviceDefaults();
  void ClearNewDevice();         // new-device values emptied, wizard flags reset, start code -1
  // Computed values of a device being created: paths, Description, Version, ProgID, DrawerNo.
  DeviceValues BuildDeviceRecord(DeviceClass cls, const ModelInfo& row, int connector) const;
  // Add Device up to the wizard: class position, defaults, model row, pages.
  WizardPlan PrepareAddDevice();
  // Finish: the drawers, then the printer; the first failure ends it (nothing is undone).
  [[nodiscard]] int CreateNewDevices();
  // After the Add Device wizard: on Finish writes the shown device's pending edits, creates the
  // devices and answers 1 (the tree is to be rebuilt and the shown device read anew, even
  // after a failure: entries created before it stay); on Cancel returns to the generic model
  // row and answers 0. Empties the new-device values.
  [[nodiscard]] int FinishAddDevice(bool finished);
  WizardPlan PrepareAddLogicalName();
  // Adds m_logical's name for its class; the selected device becomes its target.
  [[nodiscard]] int AddLogicalName();
  void ClearLogicalName();       // logical-name values and wizard flags emptied
  // Deletes what the selected node stands for (a printer with its drawers and their logical
  // names, a drawer with its logical names, or one logical name). 1 when it was deleted.
  [[nodiscard]] int DeleteSelectedNode();
  NewDeviceValues m_new;
  LogicalNameValues m_logical;
  WizardState m_wizard;

  // ---- computed values
  std::string ComputeCorePath(DeviceClass cls, const ModelInfo& row) const;
  std::string ComputeSubPath(DeviceClass cls, const ModelInfo& row) const;
  // The model's description with a maker's notice carrying the year of yearFile.
  std::string ComputeDescription(DeviceClass cls, const ModelInfo& row,
                                 const std::string& yearFile) const;
  static std::string GetFileVersionString(const std::string& path);  // product version
  static bool FileExists(const std::string& path);
  // Folder of the program, where the service object files are looked for.
  const std::string& ModuleFolder() const { return m_moduleFolder; }
  void SetModuleFolder(const std::string& folder) { m_moduleFolder = folder; }
  std::string m_logFolder;       // "<drive>:\ProgramData\KVR\Logs\"

  // ---- health check
  static std::string HealthCheckCommandLine(const std::string& device, int nodeType);
  // Commits, then starts varnhold.exe for the selected device; 1 when it started.
  int RunCheckHealth();
  void SetLauncher(Launcher launcher) { m_launcher = launcher; }

  // ---- checks of entered values
  static bool IsValidTimeout(const std::string& text);     // 1-9 digits, 3000..90000
  static bool IsValidPulseTime(const std::string& text);   // digits, 1..8
  static bool IsValidBrightness(const std::string& text);  // digits, 0..10
  static bool IsValidLogSize(const std::string& text);     // any text

  // ---- option-list accessors
  static std::string GetOptionValue(const OptionList& list, int i) { return OptionValue(list, i); }
  static std::string GetOptionLabel(const OptionList& list, int i) { return OptionLabel(list, i); }
  static std::string GetDefaultOptionValue(const OptionList& l) { return DefaultOptionValue(l); }
  static std::string GetDefaultOptionLabel(const OptionList& l) { return DefaultOptionLabel(l); }

 private:
  struct LoadedDevice {
    int cls = -1;                // -1: no device's values are held
    std::string name;
    int row = 0;
  };
  void ChooseModelRow();
  int WriteLoadedDevice();
  // After the registry changed under the loaded device: its values on hand are older than
  // the registry's and are never written back; the next selection reads them anew.
  void ForgetLoadedDevice() { m_loaded = LoadedDevice(); }
  void RepairSharedValues(DeviceClass cls, const ModelInfo& row, const char* missingCore,
                          const char* missingSub);
  void RepairLogValues();
  void Fix(std::string* value, const std::string& repaired);
  void ShowRepairMessage();

  IUserMessages* m_messages;
  CRegistry m_registry;
  std::array<ModelInfo, kModelRowCount> m_models;
  int m_modelRow = kGenericModelRow;
  LoadedDevice m_loaded;
  std::string m_moduleFolder;
  Launcher m_launcher;
  std::function<void()> m_pendingEdits;
};

// The active document of the main frame (null before the frame exists).
CKvrOposUtilityDoc* GetActiveOposDocument();
