#pragma once
// frmFilterSetProps: the filter element editor. It shows one element (operation, name pattern,
// object types, option flags and data-copy text) and stores it either in the filter database
// (EditElementInDB) or in an element held in memory (EditElementInMem).
#include "filters/filter_model.h"

#include <QDialog>
#include <memory>

class FilterStorage;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

class frmFilterSetProps : public QDialog {
    Q_OBJECT
public:
    explicit frmFilterSetProps(QWidget* parent = nullptr);

    QComboBox* FilterOp = nullptr;
    QLineEdit* ObjectName = nullptr;
    QListWidget* ObjType = nullptr;
    QPushButton* cmdObjType[2] = {};  // Select All, Select None
    QCheckBox* IgnoreCollations[2] = {};  // Include, Ignore
    QCheckBox* IgnoreFileGroups[2] = {};
    QLabel* lbCollation = nullptr;
    QLabel* lbFileGroup = nullptr;
    QCheckBox* CopyData = nullptr;
    QCheckBox* NoSchemaCache = nullptr;
    QGroupBox* FrameDataCopy = nullptr;
    QLabel* lbExtraLine = nullptr;
    QLineEdit* ExtraLine = nullptr;
    QLabel* lbExtraText = nullptr;
    QPlainTextEdit* ExtraText = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* btnHelp = nullptr;

    // Shows the element in the controls.
    void LoadElement(const Tovimar_FilterElement& element);
    // The element as the controls describe it; an empty message when it may be saved, else
    // the message for the user.
    QString BuildElement(Tovimar_FilterElement& element) const;
    // Saves into element (in memory) or the database; false after telling the user why not.
    bool SaveToMemory(Tovimar_FilterElement& element);
    bool SaveToDatabase(FilterStorage& storage, int setId, int& elementId);

    // The modal editors; true when the element was saved.
    static bool EditElementInMem(QWidget* parent, Tovimar_FilterElement& element);
    static bool EditElementInDB(QWidget* parent, FilterStorage& storage, int setId, int& elementId);

private:
    void OperationChanged();
    void CopyDataChanged();
};
