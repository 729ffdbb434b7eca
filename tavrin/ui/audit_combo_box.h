// CAuditComboBox: the audit-type selector (control 1025 of dialog template 102). The
// template names its class "CAuditComboBox"; CControlLoader (tavrin/ui/control_loader.h) creates
// it when the dialog builds the template. It knows nothing of the dialog: a choice made by
// the user is announced with viewChosen, which the dialog handles. User-interface thread
// only.
//
// Entry i is the view browser::AuditView(i): 0 unix_xapp_log, 1 unix_vsms_log, 2
// unix_xfer_log, 3 unix_sms_log (the default), 4 the joined view (present only after a
// package with vsms_xapp_tab data).
#pragma once

#include <QComboBox>

#include "tavrin/browser/query_builder.h"

class CAuditComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit CAuditComboBox(QWidget* parent = nullptr);

    static constexpr int IndexOf(browser::AuditView view) { return static_cast<int>(view); }
    // The view of entry nIndex; an index outside 0 to 4 counts as the character view.
    static browser::AuditView ViewAt(int nIndex);

    // Shows view as chosen without announcing it (a choice made by program).
    void ShowView(browser::AuditView view) { setCurrentIndex(IndexOf(view)); }

    // Handler of a selection change made by the user (connected to activated, so a selection
    // set by program does not run it): emits viewChosen with the entry's view.
    void OnSelChange(int nIndex);

  signals:
    void viewChosen(browser::AuditView view);
};
