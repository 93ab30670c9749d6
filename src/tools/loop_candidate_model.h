#pragma once

#include "loop/loop_session.h"

#include <QAbstractTableModel>

// The loop candidates of a LoopSession as a table: score, length and the step at the seam,
// with the loop's full figures as each row's tooltip.
class LoopCandidateModel : public QAbstractTableModel {
public:
    explicit LoopCandidateModel(const melo::LoopSession& session, QObject* parent = nullptr);

    // The session has new candidates: the table shows them afresh.
    void reload();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const melo::LoopSession& m_session;
};
