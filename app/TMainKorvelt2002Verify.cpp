// Proving the archive: "Vérifier l'archive" checks every stored member and
// compares the files on disk with it; "Tester l'archive" checks the members
// alone. Both go through the progress dialog and leave what they found on
// the rows until the next load. The sizes the runs' figures count.

#include <QStatusBar>
#include <algorithm>

#include "app/TMainKorvelt2002.h"
#include "dialogs/TFormProgress.h"
#include "engine/ArchiveVerify.h"

namespace kv {

namespace {

bool stored(const CatalogRow& row) {
    return row.entryOffset.has_value();
}

}  // namespace

std::vector<std::size_t> TMainKorvelt2002::allRows() const {
    std::vector<std::size_t> rows(archive_.rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = i;
    return rows;
}

std::vector<std::size_t> TMainKorvelt2002::rowsInFileOrder() const {
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < archive_.rows.size(); ++i)
        if (stored(archive_.rows[i])) rows.push_back(i);
    std::stable_sort(rows.begin(), rows.end(), [this](std::size_t a, std::size_t b) {
        return *archive_.rows[a].entryOffset < *archive_.rows[b].entryOffset;
    });
    return rows;
}

std::vector<int64_t> TMainKorvelt2002::rowSizes(const std::vector<std::size_t>& rows) const {
    std::vector<int64_t> sizes;
    sizes.reserve(rows.size());
    for (const std::size_t i : rows)
        if (i < archive_.rows.size()) sizes.push_back(archive_.rows[i].size);
    return sizes;
}

void TMainKorvelt2002::VerifierExecute() {
    if (!archiveExists()) return;
    const auto count = std::count_if(archive_.rows.begin(), archive_.rows.end(), stored);
    if (count == 0) return;
    runProgress(TFormProgress::Mode::Verify, static_cast<int>(count) - 1);
}

void TMainKorvelt2002::TesterExecute() {
    if (!archiveExists()) return;
    const auto count = std::count_if(archive_.rows.begin(), archive_.rows.end(), stored);
    if (count == 0) return;
    runProgress(TFormProgress::Mode::Test, static_cast<int>(count) - 1);
}

void TMainKorvelt2002::runVerify(VerifyScope scope) {
    std::vector<std::size_t> checked;
    for (std::size_t i = 0; i < archive_.rows.size(); ++i)
        if (stored(archive_.rows[i])) checked.push_back(i);
    ui_.startRun(rowSizes(checked));
    const VerifyOutcome outcome = VerifyArchive(archive_, options_, scope, ui_);
    ui_.endRun();
    // The statuses changed under the list: it shows them, and a filter such
    // as "À vérifier" takes in the rows found different or damaged.
    model_->resetFromRows();
    showFilterSummary();
    if (!outcome.refused) showRunSummary(verifySummary(outcome, scope));
}

}  // namespace kv
