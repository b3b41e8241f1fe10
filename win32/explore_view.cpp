#include "win32/explore_view.h"

#include "ui/presenters/frame_presenter.h"
#include "win32/etched.h"
#include "win32/resource.h"

namespace kavendrum::win32 {

namespace {

HIMAGELIST ItemImages() {
    HIMAGELIST images = ImageList_Create(18, 18, ILC_COLOR24 | ILC_MASK, 4, 0);
    ImageList_SetBkColor(images, RGB(255, 255, 255));
    for (const int icon : {IDI_SPLIT_ITEM, IDI_MERGE_ITEM, IDI_OPTION}) {
        auto* handle = static_cast<HICON>(
            LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(icon), IMAGE_ICON, 32, 32, 0));
        ImageList_AddIcon(images, handle);
        DestroyIcon(handle);
    }
    return images;
}

}  // namespace

CExploreView::~CExploreView() {
    Destroy();
    if (m_imageList != nullptr) {
        ImageList_Destroy(m_imageList);
    }
    if (m_stateImageList != nullptr) {
        ImageList_Destroy(m_stateImageList);
    }
}

bool CExploreView::Create(HWND parent) {
    return CreateFromTemplate(IDD_EXPLORE, parent);
}

void CExploreView::OnInitialUpdate(int view) {
    if (!m_bFirstInit) {
        return;
    }
    m_bFirstInit = false;
    HWND tree = Tree();
    m_imageList = ItemImages();
    m_stateImageList = ImageList_LoadImageA(ProgramInstance(), MAKEINTRESOURCEA(IDB_STATE), 13, 1,
                                            RGB(255, 255, 255), IMAGE_BITMAP, 0);
    TreeView_SetImageList(tree, m_imageList, TVSIL_NORMAL);
    TreeView_SetImageList(tree, m_stateImageList, TVSIL_STATE);
    const char* texts[] = {"Split File", "Merge File", "Option"};
    HTREEITEM after = TVI_FIRST;
    for (int i = 0; i < 3; ++i) {
        TVINSERTSTRUCTA insert{};
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = after;
        insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<char*>(texts[i]);
        insert.item.iImage = i;
        insert.item.iSelectedImage = i;
        m_hItems[i] = reinterpret_cast<HTREEITEM>(
            SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
        after = m_hItems[i];
    }
    Mark(view);
}

void CExploreView::Mark(int view) {
    if (m_hItems[0] == nullptr || view < 1 || view > 3) {
        return;
    }
    HWND tree = Tree();
    for (int i = 0; i < 3; ++i) {
        TreeView_SetItemState(tree, m_hItems[i], INDEXTOSTATEIMAGEMASK(i + 1 == view ? 1 : 2),
                              TVIS_STATEIMAGEMASK);
    }
    // The program's own selection is no request to switch.
    m_bMarking = true;
    TreeView_SelectItem(tree, m_hItems[view - 1]);
    m_bMarking = false;
}

void CExploreView::Layout(int width, int height) {
    if (Handle() == nullptr) {
        return;
    }
    MoveWindow(Handle(), 0, 0, width, height, TRUE);
    RECT logo{};
    GetWindowRect(Item(IDC_LOGO), &logo);
    const int logoWidth = logo.right - logo.left;
    const int logoHeight = logo.bottom - logo.top;
    const int treeHeight = height - logoHeight - 8;
    MoveWindow(Tree(), 0, 0, width, treeHeight > 0 ? treeHeight : 0, TRUE);
    // The logo in the pane's bottom-right corner.
    MoveWindow(Item(IDC_LOGO), width - logoWidth - 4, height - logoHeight - 4, logoWidth,
               logoHeight, TRUE);
}

void CExploreView::OnSelectionChanged(const NMTREEVIEWA& change) {
    if (m_bMarking || change.itemNew.hItem == nullptr) {
        return;
    }
    TVITEMA item{};
    item.mask = TVIF_IMAGE;
    item.hItem = change.itemNew.hItem;
    SendMessageA(Tree(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    const int formId = ui::FormIdOfTreeImage(item.iImage);
    if (formId != 0 && m_onSwitch) {
        m_onSwitch(formId);
    }
}

std::optional<LRESULT> CExploreView::OnMessage(UINT message, WPARAM, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->idFrom == IDC_TREE &&
                (header->code == TVN_SELCHANGEDA || header->code == TVN_SELCHANGEDW)) {
                OnSelectionChanged(*reinterpret_cast<const NMTREEVIEWA*>(lParam));
                return 0;
            }
            return std::nullopt;
        }
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        default:
            return std::nullopt;
    }
}

}  // namespace kavendrum::win32
