#pragma once

#include "fake_worksheet.h"

#include <QFile>
#include <functional>
#include <memory>

// A workbook of one fake worksheet, or one whose active sheet is no worksheet.
class FakeWorkbook : public spreadsheet::Workbook {
public:
    explicit FakeWorkbook(std::shared_ptr<FakeWorksheet> sheet, QString path) : sheet_(std::move(sheet)), path_(std::move(path)) {}
    QString filePath() const override { return path_; }
    int sheetCount() override { return 1; }
    std::shared_ptr<spreadsheet::Worksheet> sheet(int) override { return sheet_; }
    std::shared_ptr<spreadsheet::Worksheet> sheet(const QString&) override { return sheet_; }
    bool activeSheetIsWorksheet() override { return !chartActive; }
    std::shared_ptr<spreadsheet::Worksheet> activeSheet() override {
        if (chartActive)
            throw spreadsheet::Error(QStringLiteral("The active sheet is not a worksheet"));
        return sheet_;
    }
    // Saving and exporting leave an empty file at the path and record it;
    // failStore, when set, is asked first and may throw.
    void saveAs(const QString& path, spreadsheet::FileFormat) override { store(path); }
    void exportPdf(const QString& path) override { store(path); }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }

    bool chartActive = false;
    QStringList stored;
    std::function<void(const QString&)> failStore;
    std::shared_ptr<FakeWorksheet> fakeSheet() const { return sheet_; }

private:
    void store(const QString& path) {
        if (failStore)
            failStore(path);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            throw spreadsheet::Error(QStringLiteral("cannot write %1").arg(path), spreadsheet::Error::Operation::Save);
        stored << path;
    }

    std::shared_ptr<FakeWorksheet> sheet_;
    QString path_;
    bool open_ = true;
};

// An application that opens every file as the same fake sheet, and can be
// told to fail at any step.
class FakeSpreadsheet : public spreadsheet::Application {
public:
    void connect() override {
        ++connects;
        if (failConnect)
            throw spreadsheet::Error(QStringLiteral("no office"));
        connected_ = true;
    }
    bool isConnected() const override { return connected_; }
    bool isVisible() const override { return visible_; }
    void setVisible(bool visible) override { visible_ = visible; }
    int sheetsInNewWorkbook() const override { return 1; }
    void setSheetsInNewWorkbook(int) override {}
    bool displayAlerts() const override { return false; }
    void setDisplayAlerts(bool) override {}
    int workbookCount() override { return int(opened.size()); }
    std::shared_ptr<spreadsheet::Workbook> workbook(int index) override { return opened.at(index - 1); }
    std::shared_ptr<spreadsheet::Workbook> addWorkbook() override {
        auto book = std::make_shared<FakeWorkbook>(sheet, QString());
        opened.push_back(book);
        return book;
    }
    // Each hidden workbook has a sheet of its own.
    std::shared_ptr<spreadsheet::Workbook> addHiddenWorkbook() override {
        auto book = std::make_shared<FakeWorkbook>(std::make_shared<FakeWorksheet>(), QString());
        book->failStore = failStore;
        hidden.push_back(book);
        return book;
    }
    std::shared_ptr<spreadsheet::Workbook> openWorkbook(const QString& path) override {
        if (failOpen)
            throw spreadsheet::Error(QStringLiteral("not a workbook"));
        auto book = std::make_shared<FakeWorkbook>(sheet, path);
        book->chartActive = chartActive;
        opened.push_back(book);
        return book;
    }
    std::shared_ptr<spreadsheet::Workbook> openTemplate(const QString& path) override { return openWorkbook(path); }
    void quit() override { opened.clear(); }
    qint64 officeProcessId() const override { return 0; }

    std::shared_ptr<FakeWorksheet> sheet = std::make_shared<FakeWorksheet>();
    std::vector<std::shared_ptr<FakeWorkbook>> opened;
    std::vector<std::shared_ptr<FakeWorkbook>> hidden;
    std::function<void(const QString&)> failStore;  // given to each hidden workbook
    bool failConnect = false;
    bool failOpen = false;
    bool chartActive = false;
    int connects = 0;

private:
    bool connected_ = false;
    bool visible_ = false;
};
