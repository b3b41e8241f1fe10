#pragma once

#include "engine/option_set.h"
#include "ui/presenters/form_view.h"
#include "ui/presenters/option_source.h"

namespace kavendrum::ui {

// The three radio pairs, as radio indexes: 0 or 1 for the checked button, -1 for neither.
struct OptionChoices {
    int splitFolder = -1;
    int overwrite = -1;
    int mergeFolder = -1;
};

enum class OptionBox { DeleteAfterSplit, DeleteAfterMerge, Verify };

// What the option presenter needs of its form's widgets. The check boxes keep their state
// themselves; the radio pairs go through the data exchange.
class OptionView {
  public:
    virtual ~OptionView() = default;

    virtual OptionChoices ReadChoices() const = 0;
    virtual void WriteChoices(const OptionChoices& choices) = 0;
    virtual int Check(OptionBox box) const = 0;
    virtual void SetCheck(OptionBox box, int state) = 0;
    // Draws the check boxes at once.
    virtual void RedrawChecks() = 0;
};

// The option form's members and decisions: which values it shows, and Save and Reset.
class OptionPresenter {
  public:
    OptionPresenter(OptionView& view, DialogView& dialogs, OptionSource* options);

    // Radio buttons into the choices (true) or the choices into the buttons (false).
    void UpdateData(bool bSaveAndValidate = true);
    // Shows the option set in force when the load flag is set, then sets it.
    void OnInitialUpdate();
    void OnSave();
    void OnReset();

    int m_nSplitFolderChoice = -1;
    int m_nOverwriteChoice = -1;
    int m_nMergeFolderChoice = -1;
    bool m_bLoad = false;

  private:
    void Show(const OptionSet& values);
    // Writes the values and puts them in force; a failure has been shown when false.
    bool Store(const OptionSet& values);

    OptionView& m_view;
    DialogView& m_dialogs;
    OptionSource* m_pOptions;
};

}  // namespace kavendrum::ui
