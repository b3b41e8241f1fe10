#pragma once

#include <optional>
#include <string>

#include "engine/option_set.h"
#include "options/option_file.h"
#include "ui/presenters/form_view.h"
#include "ui/presenters/option_source.h"

namespace kavendrum::ui {

// The command ids of menu 128, the tool bar and the drop window's menu.
enum CommandId {
    ID_SPLIT_FILE = 32771,
    ID_SAVE_OPTIONS = 32773,
    ID_HELP = 32775,
    ID_VIEW_SPLIT = 32776,
    ID_VIEW_MERGE = 32777,
    ID_VIEW_OPTION = 32778,
    ID_MERGE_FILE = 32780,
    ID_RESET_OPTIONS = 32781,
    ID_SHOW_OR_HIDE = 32788,
    ID_DRAG_EXIT = 32789,
    ID_APP_EXIT = 57665,
    ID_APP_ABOUT = 57664,
};

struct PixelSize {
    int width = 0;
    int height = 0;

    bool operator==(const PixelSize&) const = default;
};

// Where a file dropped on the drop window goes.
enum class DropField { None, SplitSource, MergeHeadFile };

// The drop window's state as the profile keeps it.
struct DropWindowPlace {
    bool visible = false;
    int top = 0;
    int left = 0;
};

// What the frame presenter needs of the frame's widgets.
class FrameView {
  public:
    virtual ~FrameView() = default;

    // A box owned by the frame; true for OK.
    virtual bool ShowBox(const std::string& text, const std::string& caption, BoxStyle style) = 0;
    virtual bool HasExploreView() const = 0;
    // Destroys the shown form and builds, prepares and shows the one of the form id; false when
    // it cannot be built.
    virtual bool CreateForm(int formId) = 0;
    // The tree's arrow and selection on the item of the form (1 to 3).
    virtual void MarkTree(int view) = 0;
    // The View menu's radio mark on the command.
    virtual void MarkViewMenu(int commandId) = 0;
    virtual void EnableCommand(int commandId, bool enabled) = 0;
    virtual void CheckCommand(int commandId, bool checked) = 0;
    virtual bool IsShown() const = 0;
    // The start argument into the merge form's head-file field, as if typed.
    virtual void PutStartArgument(const std::string& argument) = 0;
};

// The frame's members and decisions: the option set in force, the form shown, which commands
// are enabled, the start argument, the first size, where a dropped file goes and what the
// profile keeps. The forms reach the options through it.
class FramePresenter : public OptionSource {
  public:
    static constexpr const char* kTitle = "Kavendrum v2.03";
    static constexpr const char* kIdleText = "Ready";

    FramePresenter(FrameView& view, std::string optionFile, std::string startArgument);

    // Loads the option set; false, after "Init failed!" or the file error, when the start must
    // end here.
    bool LoadOptions();
    // The form of the start: the merge form with the start argument, else the split form.
    void ShowFirstForm();
    // Destroys the shown form and builds the one of the form id (131, 132 or 133) anew.
    bool SwitchView(int formId);
    void UpdateCommandUI();
    bool IsCommandEnabled(int commandId) const;
    DropField RouteDrop() const;

    const OptionSet& Options() const override { return m_options; }
    StoreResult Store(const OptionSet& values) override;

    OptionSet m_options;
    int m_nCurView = 1;
    int m_bHasStartArg = 0;
    std::string m_strStartArg;
    std::string m_strOptionFile;

  private:
    FrameView& m_view;
};

// The form id a navigation tree item shows, by the item's image index; 0 for none.
int FormIdOfTreeImage(int image);

// The frame's first size on a screen: the share of each screen dimension the size table knows,
// grown by the font's ratio to the template's font; three quarters of any other dimension; never
// less than `content`, never more than `available` when the screen is known.
PixelSize FirstFrameSize(PixelSize screen, double ratioX, double ratioY, PixelSize content,
                         std::optional<PixelSize> available);
// The frame's client width that gives the tree a quarter, at least `treeWidth`, and the form the
// rest, at least `formWidth`, beside a splitter handle of `handle` pixels.
int FrameWidthFor(int treeWidth, int formWidth, int handle);

// Where the drop window starts: the place kept in the profile, else the first-run place.
struct ProfilePoint {
    int left = 0;
    int top = 0;
};
ProfilePoint DropWindowStart(const Profile& profile);
// True when the profile keeps a place of the drop window, so that this is not the first run.
bool HasDropWindowPlace(const Profile& profile);
struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};
// Where a first run puts the drop window, once the frame has its place: beside the frame (right,
// left, below, above) where that fits in the screen's free area, so that it covers neither the
// frame nor the dialogs centred on it; on a screen the frame fills, the area's lower left
// corner above the status bar's height.
ProfilePoint FirstDropWindowPlace(const PixelRect& area, const PixelRect& frame, PixelSize window,
                                  int statusBarHeight);
// The close sequence's record of the drop window; without one only its visibility, 0.
void WriteDropWindowPlace(Profile& profile, const std::optional<DropWindowPlace>& place);

}  // namespace kavendrum::ui
