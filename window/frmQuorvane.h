#pragma once

#include <QMainWindow>

namespace quorvane {

// Placeholder; being implemented.
class frmQuorvane : public QMainWindow {
    Q_OBJECT
public:
    explicit frmQuorvane(QWidget* parent = nullptr);
};

}  // namespace quorvane
