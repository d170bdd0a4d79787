// A check box that code may grey (state 2) but that a user's click only
// toggles between clear and checked.
#pragma once

#include <QCheckBox>

class TriStateCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }
};
