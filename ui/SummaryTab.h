#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/MainWindowCommands.h"
#include "core/ViewModel.h"

class QGroupBox;
class QLabel;
class QMenu;
class QPoint;
class QPushButton;

namespace vigiltron {

class CameraViewWidget;

// The Summary tab: one row per setup index 1..10 (name, reading, unit letter, status text, a note
// on its alerts such as a snooze, and status picture) and the "Connect All" button. Rows of unused
// entries are hidden. Beside the rows, the camera sent to the Summary tab shows its live picture
// with "Save Picture"; while no camera is there, the "Video Surveillance" frame says how to send
// one.
class SummaryTab : public QWidget {
    Q_OBJECT
public:
    // The view model must outlive the tab. Of the commands the tab uses "Connect All", the
    // connect toggle, the row menu's and the Summary camera's.
    SummaryTab(const ViewModel& view, MainWindowCommands commands, QWidget* parent = nullptr);
    ~SummaryTab() override;

    // Updates every widget from the view model.
    void Render();

    // Asks the program for the pop-up menu of the row at a setup index and builds it from the
    // view model; nothing when the program offers none (an index outside 1..10).
    std::unique_ptr<QMenu> BuildRowMenu(int setupIndex);
    // The menu last opened from a row, while it is open.
    QMenu* OpenRowMenu() const;

    QLabel* NameLabel(int setupIndex) const;
    QLabel* ReadingLabel(int setupIndex) const;
    QLabel* UnitLabel(int setupIndex) const;
    QLabel* StatusLabel(int setupIndex) const;
    QLabel* NoteLabel(int setupIndex) const;
    QLabel* PictureLabel(int setupIndex) const;
    QPushButton* ConnectAllButton() const { return connectAllButton_; }
    QGroupBox* SurveillanceFrame() const { return surveillance_; }
    QLabel* CameraCaption() const { return cameraCaption_; }
    CameraViewWidget* CameraPicture() const { return camera_; }
    QPushButton* SavePictureButton() const { return savePicture_; }

private:
    struct Row {
        QLabel* name = nullptr;
        QLabel* reading = nullptr;
        QLabel* unit = nullptr;
        QLabel* status = nullptr;
        QLabel* note = nullptr;
        QLabel* picture = nullptr;
        std::string shownPicture;  // the name the picture label was last drawn from
        bool pictureDrawn = false;
    };

    const Row* RowAt(int setupIndex) const;
    QWidget* BuildCameraColumn();
    void RenderRow(Row& row, const SummaryRow& data);
    void RenderCamera();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void ShowRowMenu(int setupIndex, const QPoint& globalPos);

    const ViewModel& view_;
    MainWindowCommands commands_;
    std::array<Row, 11> rows_;  // 1..10; 0 unused
    QPushButton* connectAllButton_ = nullptr;
    QGroupBox* surveillance_ = nullptr;
    QWidget* cameraPanel_ = nullptr;
    QLabel* cameraCaption_ = nullptr;
    CameraViewWidget* camera_ = nullptr;
    QPushButton* savePicture_ = nullptr;
    std::unique_ptr<QMenu> rowMenu_;
};

}  // namespace vigiltron
