#pragma once
// CMergeDlg: the modal dialog that joins the prepared parts of a merge with
// convert::MergeJoin and shows its progress ("progressMerge"). "btnStop" stops the
// join at once, "btnClose" (or closing the window) closes and stops it; result() is
// 1 only when the join succeeded. A join that did not succeed leaves no merged file
// behind: a cut-off file would look like a result.

#include <memory>

#include "app/gui/my_base_window.h"
#include "convert/merge_join.h"

namespace mainframe::gui {

// The merge options of the language ("MergeFileName").
convert::MergeOptions mergeOptions();

class CMergeDlg : public app::MyBaseWindow {
    Q_OBJECT
public:
    // `options.merge_file_name` defaults to the language text "MergeFileName".
    CMergeDlg(QWidget* owner, const convert::MergeRequest& request, convert::MergeOptions options);
    CMergeDlg(QWidget* owner, const convert::MergeRequest& request);
    ~CMergeDlg() override;

    // Runs the dialog modally; 1 when the merged file is complete, 0 otherwise (also
    // when the skin has no "dlg_merge.xml").
    int run();
    int mergeResult() const { return merge_result_; }
    // True when the join itself failed (not stopped or closed by the user).
    bool joinFailed() const { return join_failed_; }
    const convert::MergeJoin* join() const { return join_.get(); }

protected:
    void initWindow() override;
    void onClick(ui::Notify& notify) override;
    platform::LParam onCustomMessage(std::uint32_t id, platform::WParam wparam,
                                     platform::LParam lparam) override;

private:
    void setPercent(int percent);
    convert::MergeRequest request_;
    convert::MergeOptions options_;
    std::unique_ptr<convert::MergeJoin> join_;
    int merge_result_ = 0;
    bool join_failed_ = false;
};

// The merge of the main window: runs CMergeDlg for `request`; 1 on success.
int runMergeDialog(QWidget* owner, const convert::MergeRequest& request);
// After a successful merge: asks "TransformSuccess" (Yes / No, title "Title"); true on Yes.
bool askOpenOutputFolder(QWidget* owner);
// Opens the output folder in the desktop's file manager.
bool openOutputFolder(const std::string& folder);

}  // namespace mainframe::gui
