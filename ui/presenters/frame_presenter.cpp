#include "ui/presenters/frame_presenter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/io/file_error.h"

namespace kavendrum::ui {

namespace {

// The frame's share of a screen dimension that the table knows; 0 for any other.
int FrameShare(int screen, const int (&table)[3][2]) {
    for (const auto& row : table) {
        if (row[0] == screen) {
            return screen * row[1] / 100;
        }
    }
    return 0;
}

}  // namespace

FramePresenter::FramePresenter(FrameView& view, std::string optionFile, std::string startArgument)
    : m_strStartArg(std::move(startArgument)),
      m_strOptionFile(std::move(optionFile)),
      m_view(view) {}

bool FramePresenter::LoadOptions() {
    m_bHasStartArg = m_strStartArg.empty() ? 0 : 1;
    const LoadResult loaded = kavendrum::LoadOptions(m_strOptionFile, m_options);
    if (loaded.status == LoadStatus::Failed) {
        m_view.ShowBox(TextOf(NoticeOf(NoticeId::InitFailed)), CaptionOf(NoticeId::InitFailed),
                       BoxStyle::Ok);
        return false;
    }
    if (loaded.status == LoadStatus::Aborted) {
        m_view.ShowBox(FileErrorText(loaded.error), "Kavendrum", BoxStyle::Stop);
        return false;
    }
    return true;
}

void FramePresenter::ShowFirstForm() {
    m_view.MarkViewMenu(ID_VIEW_SPLIT);
    if (m_bHasStartArg != 0) {
        SwitchView(kMergeFormId);
        m_view.PutStartArgument(m_strStartArg);
        m_nCurView = 2;
    } else {
        m_nCurView = 1;
    }
    UpdateCommandUI();
}

bool FramePresenter::SwitchView(int formId) {
    if (!m_view.HasExploreView()) {
        return false;
    }
    if (formId < kSplitFormId || formId > kOptionFormId) {
        return true;
    }
    if (!m_view.CreateForm(formId)) {
        return false;
    }
    const int view = formId - 130;
    m_view.MarkTree(view);
    m_view.MarkViewMenu(ID_VIEW_SPLIT + view - 1);
    m_nCurView = view;
    UpdateCommandUI();
    return true;
}

bool FramePresenter::IsCommandEnabled(int commandId) const {
    switch (commandId) {
        case ID_SPLIT_FILE:
            return m_nCurView == 1;
        case ID_MERGE_FILE:
            return m_nCurView == 2;
        case ID_SAVE_OPTIONS:
        case ID_RESET_OPTIONS:
            return m_nCurView == 3;
        default:
            return true;
    }
}

void FramePresenter::UpdateCommandUI() {
    for (const int id : {ID_SPLIT_FILE, ID_MERGE_FILE, ID_SAVE_OPTIONS, ID_RESET_OPTIONS}) {
        m_view.EnableCommand(id, IsCommandEnabled(id));
    }
    m_view.CheckCommand(ID_SHOW_OR_HIDE, m_view.IsShown());
}

// The path is not examined: any file goes into the field of the form shown.
DropField FramePresenter::RouteDrop() const {
    switch (m_nCurView) {
        case 1:
            return DropField::SplitSource;
        case 2:
            return DropField::MergeHeadFile;
        default:
            return DropField::None;
    }
}

StoreResult FramePresenter::Store(const OptionSet& values) {
    return StoreOptions(m_strOptionFile, values, m_options);
}

int FormIdOfTreeImage(int image) {
    return image >= 0 && image <= 2 ? kSplitFormId + image : 0;
}

PixelSize FirstFrameSize(PixelSize screen, double ratioX, double ratioY, PixelSize content,
                         std::optional<PixelSize> available) {
    static const int widths[3][2] = {{640, 78}, {800, 63}, {1024, 50}};
    static const int heights[3][2] = {{480, 90}, {600, 72}, {768, 55}};
    const int width = FrameShare(screen.width, widths);
    const int height = FrameShare(screen.height, heights);
    PixelSize size{
        width != 0 ? static_cast<int>(std::lround(width * ratioX)) : screen.width * 3 / 4,
        height != 0 ? static_cast<int>(std::lround(height * ratioY)) : screen.height * 3 / 4};
    size.width = std::max(size.width, content.width);
    size.height = std::max(size.height, content.height);
    if (available) {
        size.width = std::min(size.width, available->width);
        size.height = std::min(size.height, available->height);
    }
    return size;
}

int FrameWidthFor(int treeWidth, int formWidth, int handle) {
    int width = std::max(4 * treeWidth, (formWidth + handle) * 4 / 3);
    while (width - width / 4 - handle < formWidth) {
        ++width;
    }
    return width;
}

ProfilePoint DropWindowStart(const Profile& profile) {
    return {profile.ReadInt("DragWindow/Left", 392), profile.ReadInt("DragWindow/Top", 284)};
}

bool HasDropWindowPlace(const Profile& profile) {
    // A value no window can be given; ReadInt answers it only for a missing one.
    constexpr int kNone = std::numeric_limits<int>::min();
    return profile.ReadInt("DragWindow/Left", kNone) != kNone &&
           profile.ReadInt("DragWindow/Top", kNone) != kNone;
}

ProfilePoint FirstDropWindowPlace(const PixelRect& area, const PixelRect& frame, PixelSize window,
                                  int statusBarHeight) {
    constexpr int kGap = 8;
    const int areaRight = area.left + area.width;
    const int areaBottom = area.top + area.height;
    const auto fits = [&](const ProfilePoint& at) {
        return at.left >= area.left && at.top >= area.top && at.left + window.width <= areaRight &&
               at.top + window.height <= areaBottom;
    };
    const ProfilePoint candidates[] = {
        {frame.left + frame.width + kGap, frame.top},
        {frame.left - kGap - window.width, frame.top},
        {frame.left, frame.top + frame.height + kGap},
        {frame.left, frame.top - kGap - window.height},
    };
    for (const ProfilePoint& at : candidates) {
        if (fits(at)) {
            return at;
        }
    }
    return {area.left + kGap,
            std::max(area.top, areaBottom - statusBarHeight - kGap - window.height)};
}

void WriteDropWindowPlace(Profile& profile, const std::optional<DropWindowPlace>& place) {
    profile.WriteInt("DragWindow/Visible", place && place->visible ? 1 : 0);
    // Without a drop window there is no placement to keep; the last one saved stays.
    if (place) {
        profile.WriteInt("DragWindow/Top", place->top);
        profile.WriteInt("DragWindow/Left", place->left);
    }
    profile.Flush();
}

}  // namespace kavendrum::ui
