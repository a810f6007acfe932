#include "sample_database.h"

#include "schema/sql_text.h"

namespace {

const QString CI = QStringLiteral("Latin1_General_CI_AS");

// One line per element, joined by CR LF as the server keeps the text it was sent.
QString Lines(std::initializer_list<const char*> lines) {
    QStringList list;
    for (const char* line : lines) list << QString::fromUtf8(line);
    return list.join(QStringLiteral("\r\n"));
}

struct ColumnSpec {
    const char* Name;
    const char* DataType;
    long Size;
    long Precision;
    long Scale;
    bool Nullable;
    QString Collation = QString();
};

TablePtr AddTable(Tovimar_Database& db, const QString& name, const QString& textFileGroup = QString()) {
    auto table = std::make_shared<Tovimar_Table>();
    table->Owner = QStringLiteral("dbo");
    table->Name = name;
    table->FileGroupName = QStringLiteral("PRIMARY");
    // A table keeps its text and image data with its rows unless it names a group for them, as the
    // catalog reads it.
    table->TextFileGroupName = textFileGroup.isEmpty() ? table->FileGroupName : textFileGroup;
    table->SetDatabase(&db);
    db.Tables.Add(table, table->FullName());
    table->CalcObjectIncluded();
    return table;
}

FieldPtr MakeField(const ColumnSpec& spec, int colId) {
    auto field = std::make_shared<Tovimar_Field>();
    field->Name = QString::fromUtf8(spec.Name);
    field->ColID = colId;
    field->DataType = QString::fromUtf8(spec.DataType);
    field->DataSize = spec.Size;
    field->DataPrecision = spec.Precision;
    field->DataDecimals = spec.Scale;
    field->CanBeNull = spec.Nullable;
    field->Collation = spec.Collation;
    return field;
}

FieldPtr AddColumn(Tovimar_Table& table, const ColumnSpec& spec) {
    FieldPtr field = MakeField(spec, static_cast<int>(table.Fields.Count()) + 1);
    table.AddField(field);
    return field;
}

void AddViewColumn(Tovimar_View& view, const ColumnSpec& spec) {
    view.AddField(MakeField(spec, static_cast<int>(view.Fields.Count()) + 1));
}

void MakeIdentity(Tovimar_Field& field, long seed, long increment) {
    field.Identity = true;
    field.IdentitySeed = seed;
    field.IdentityIncr = increment;
}

Tovimar_Index& AddIndex(Tovimar_Database& db, Tovimar_Table& table, const QString& name, QStringList columns,
                        bool unique, bool clustered, const QString& fileGroup = QStringLiteral("PRIMARY")) {
    auto index = std::make_shared<Tovimar_Index>();
    index->Name = name;
    index->Table = &table;
    index->IsUnique = unique;
    index->IsClustered = clustered;
    index->FileGroupName = fileGroup;
    for (const QString& column : columns) index->FieldNames.Add(column);
    table.Indexes.Add(index, index->FullName(false));
    db.Indexes.Add(index, index->FullName(true));
    return *index;
}

void AddPrimaryKey(Tovimar_Database& db, Tovimar_Table& table, const QString& name, QStringList columns,
                   bool clustered = true) {
    Tovimar_Index& index = AddIndex(db, table, name, columns, true, clustered);
    index.IsPrimaryKey = true;
    table.PrimaryKey = &index;
}

void AddDefault(Tovimar_Database& db, Tovimar_Table& table, const QString& name, const QString& column,
                const QString& value) {
    auto def = std::make_shared<Tovimar_Default>();
    def->Name = name;
    def->Value = value;
    def->Table = &table;
    FieldPtr field = table.Fields.Item(QuoteName(column));
    def->Field = field.get();
    field->Default = def.get();
    table.Defaults.Add(def, def->FullName(false));
    db.Defaults.Add(def, def->FullName(true));
}

Tovimar_Check& AddCheck(Tovimar_Database& db, Tovimar_Table& table, const QString& name, const QString& value) {
    auto check = std::make_shared<Tovimar_Check>();
    check->Name = name;
    check->Value = value;
    check->Table = &table;
    table.Checks.Add(check, check->FullName(false));
    db.Checks.Add(check, check->FullName(true));
    return *check;
}

Tovimar_Relation& AddRelation(Tovimar_Database& db, Tovimar_Table& table, const QString& name,
                              const QStringList& columns, Tovimar_Table& primary, const QStringList& primaryColumns) {
    auto relation = std::make_shared<Tovimar_Relation>();
    relation->Name = name;
    relation->Table = &table;
    relation->PrimaryTable = &primary;
    relation->PrimaryTableFullName = primary.FullName();
    for (const QString& column : columns) relation->FieldNames.Add(column);
    for (const QString& column : primaryColumns) relation->PrimaryFieldNames.Add(column);
    table.Relations.Add(relation, relation->FullName(false));
    db.Relations.Add(relation, relation->FullName(true));
    return *relation;
}

void AddTrigger(Tovimar_Database& db, Tovimar_Table& table, const QString& name, long objStatus,
                const QString& definition) {
    auto trigger = std::make_shared<Tovimar_Trigger>();
    trigger->Name = name;
    trigger->Table = &table;
    trigger->ObjStatus = objStatus;
    trigger->Definition = definition;
    table.Triggers.Add(trigger, trigger->FullName(false));
    db.Triggers.Add(trigger, trigger->FullName(true));
    trigger->CalcObjectIncluded();
}

Tovimar_Permission& AddPermission(Tovimar_Database& db, Tovimar_DbObject& secured, const QString& grantee) {
    auto permission = std::make_shared<Tovimar_Permission>();
    permission->SecObject = &secured;
    permission->Grantee = grantee;
    permission->Grantor = QStringLiteral("dbo");
    permission->Name = permission->FullName();
    permission->SetDatabase(&db);
    db.Permissions.Add(permission, permission->FullName());
    return *permission;
}

void AddColumns(Collection<QString>& list, const QStringList& columns) {
    for (const QString& column : columns) list.Add(column, column);
}

}  // namespace

QString SampleSnapshotPath() { return QStringLiteral(TOVIMAR_SOURCE_DIR "/examples/sample.schema"); }

void BuildSampleDatabase(Tovimar_Database& db) {
    constexpr long AnsiNullsAndQuoted = 24;  // ANSI_NULLS (16) and QUOTED_IDENTIFIER (8) were on
    constexpr long AnsiNullsOnly = 16;
    constexpr quint8 Granted = 1;
    constexpr quint8 Denied = 2;

    db.Server = QStringLiteral("PELLOW01");
    db.Name = QStringLiteral("Bookshop");
    db.Version = QStringLiteral("10;1187.250000;2374.500000;1604.812500;3209.625000;2026-03-14 09:26:53.170");
    db.CmptLevel = 80;
    db.SrvVer = 80;
    db.FileGroups.Add(Tovimar_FileGroup{1, QStringLiteral("PRIMARY")}, QStringLiteral("#1"));
    db.FileGroups.Add(Tovimar_FileGroup{2, QStringLiteral("ARCHIVE")}, QStringLiteral("#2"));
    db.DefaultFileGroupID = 1;

    // ---- Authors
    TablePtr authors = AddTable(db, QStringLiteral("Authors"));
    MakeIdentity(*AddColumn(*authors, {"AuthorID", "int", 4, 10, 0, false}), 1, 1);
    AddColumn(*authors, {"LastName", "nvarchar", 80, 40, 0, false, CI});
    AddColumn(*authors, {"FirstName", "nvarchar", 60, 30, 0, true, CI});
    AddColumn(*authors, {"Country", "char", 2, 2, 0, false, CI});
    AddPrimaryKey(db, *authors, QStringLiteral("PK_Authors"), {QStringLiteral("AuthorID")});
    AddIndex(db, *authors, QStringLiteral("IX_Authors_Name"), {QStringLiteral("LastName"), QStringLiteral("FirstName")},
             false, false);
    AddDefault(db, *authors, QStringLiteral("DF_Authors_Country"), QStringLiteral("Country"), QStringLiteral("('CH')"));
    AddCheck(db, *authors, QStringLiteral("CK_Authors_Country"), QStringLiteral("([Country] like '[A-Z][A-Z]')"));

    // ---- Categories (a tree: each category may have a parent category)
    TablePtr categories = AddTable(db, QStringLiteral("Categories"));
    AddColumn(*categories, {"CategoryID", "int", 4, 10, 0, false});
    AddColumn(*categories, {"ParentID", "int", 4, 10, 0, true});
    AddColumn(*categories, {"Name", "nvarchar", 100, 50, 0, false, CI});
    AddPrimaryKey(db, *categories, QStringLiteral("PK_Categories"), {QStringLiteral("CategoryID")});
    Tovimar_Index& byName = AddIndex(db, *categories, QStringLiteral("UX_Categories_Name"),
                                     {QStringLiteral("ParentID"), QStringLiteral("Name")}, true, false);
    byName.IgnoreDupKey = true;
    AddRelation(db, *categories, QStringLiteral("FK_Categories_Parent"), {QStringLiteral("ParentID")}, *categories,
                {QStringLiteral("CategoryID")});

    // ---- Books
    TablePtr books = AddTable(db, QStringLiteral("Books"), QStringLiteral("ARCHIVE"));
    MakeIdentity(*AddColumn(*books, {"BookID", "int", 4, 10, 0, false}), 1000, 1);
    AddColumn(*books, {"ISBN", "char", 13, 13, 0, false, QStringLiteral("Latin1_General_BIN")});
    FieldPtr title = AddColumn(*books, {"Title", "nvarchar", 400, 200, 0, false, CI});
    AddColumn(*books, {"AuthorID", "int", 4, 10, 0, false});
    AddColumn(*books, {"CategoryID", "int", 4, 10, 0, true});
    AddColumn(*books, {"Price", "money", 8, 19, 4, false});
    AddColumn(*books, {"Published", "datetime", 8, 23, 3, true});
    FieldPtr summary = AddColumn(*books, {"Summary", "ntext", 16, 0, 0, true, CI});
    FieldPtr rowGuid = AddColumn(*books, {"RowGuid", "uniqueidentifier", 16, 0, 0, false});
    rowGuid->IsRowGUID = true;
    for (const FieldPtr& field : {title, summary}) {
        field->FTI_Field = true;
        field->FTI_Language = 1033;
    }
    books->FTI_Catalog = QStringLiteral("BookshopCatalog");
    books->FTI_UniqueIndex = QStringLiteral("PK_Books");
    books->FTI_ChangeTracking = true;
    books->FTI_BackgroundUpdate = true;
    books->FTI_Columns.emplace();
    books->FTI_Columns->Add(title, title->Name);
    books->FTI_Columns->Add(summary, summary->Name);
    AddPrimaryKey(db, *books, QStringLiteral("PK_Books"), {QStringLiteral("BookID")});
    Tovimar_Index& isbn = AddIndex(db, *books, QStringLiteral("UQ_Books_ISBN"), {QStringLiteral("ISBN")}, true, false);
    isbn.IsUniqueConstraint = true;
    AddIndex(db, *books, QStringLiteral("IX_Books_AuthorID"), {QStringLiteral("AuthorID")}, false, false);
    AddDefault(db, *books, QStringLiteral("DF_Books_Price"), QStringLiteral("Price"), QStringLiteral("(0)"));
    AddDefault(db, *books, QStringLiteral("DF_Books_Published"), QStringLiteral("Published"),
               QStringLiteral("(getdate())"));
    AddDefault(db, *books, QStringLiteral("DF_Books_RowGuid"), QStringLiteral("RowGuid"), QStringLiteral("(newid())"));
    AddCheck(db, *books, QStringLiteral("CK_Books_Price"), QStringLiteral("([Price] >= 0)"));
    Tovimar_Check& isbnCheck = AddCheck(db, *books, QStringLiteral("CK_Books_ISBN"),
                                        QStringLiteral("([ISBN] like '[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9X]')"));
    isbnCheck.NotForRepl = true;
    AddRelation(db, *books, QStringLiteral("FK_Books_Authors"), {QStringLiteral("AuthorID")}, *authors,
                {QStringLiteral("AuthorID")});
    Tovimar_Relation& bookCategory = AddRelation(db, *books, QStringLiteral("FK_Books_Categories"),
                                                 {QStringLiteral("CategoryID")}, *categories,
                                                 {QStringLiteral("CategoryID")});
    bookCategory.NoCheckConstraint = true;
    AddTrigger(db, *books, QStringLiteral("trg_Books_Published"), AnsiNullsAndQuoted,
               Lines({"CREATE TRIGGER trg_Books_Published ON dbo.Books",
                      "FOR INSERT, UPDATE",
                      "AS",
                      "-- A book cannot be published in the future; keep the date as given otherwise",
                      "IF EXISTS (SELECT * FROM inserted WHERE Published > GETDATE())",
                      "BEGIN",
                      "\tRAISERROR ('A book cannot be published in the future.', 16, 1)",
                      "\tROLLBACK TRANSACTION",
                      "END",
                      ""}));

    // ---- Orders
    TablePtr orders = AddTable(db, QStringLiteral("Orders"));
    MakeIdentity(*AddColumn(*orders, {"OrderID", "int", 4, 10, 0, false}), 1, 1);
    AddColumn(*orders, {"OrderDate", "datetime", 8, 23, 3, false});
    AddColumn(*orders, {"CustomerName", "nvarchar", 120, 60, 0, false, CI});
    AddColumn(*orders, {"ShippedDate", "datetime", 8, 23, 3, true});
    AddPrimaryKey(db, *orders, QStringLiteral("PK_Orders"), {QStringLiteral("OrderID")});
    AddIndex(db, *orders, QStringLiteral("IX_Orders_OrderDate"), {QStringLiteral("OrderDate")}, false, false,
             QStringLiteral("ARCHIVE"));
    AddDefault(db, *orders, QStringLiteral("DF_Orders_OrderDate"), QStringLiteral("OrderDate"),
               QStringLiteral("(getdate())"));
    AddTrigger(db, *orders, QStringLiteral("trg_Orders_NoDeleteShipped"), AnsiNullsAndQuoted,
               Lines({"CREATE TRIGGER trg_Orders_NoDeleteShipped ON dbo.Orders",
                      "FOR DELETE",
                      "AS",
                      "IF EXISTS (SELECT * FROM deleted WHERE ShippedDate IS NOT NULL)",
                      "BEGIN",
                      "\tRAISERROR ('Shipped orders cannot be deleted.', 16, 1)",
                      "\tROLLBACK TRANSACTION",
                      "END",
                      ""}));

    // ---- OrderLines
    TablePtr lines = AddTable(db, QStringLiteral("OrderLines"));
    AddColumn(*lines, {"OrderID", "int", 4, 10, 0, false});
    AddColumn(*lines, {"LineNumber", "smallint", 2, 5, 0, false});
    AddColumn(*lines, {"BookID", "int", 4, 10, 0, false});
    AddColumn(*lines, {"Quantity", "smallint", 2, 5, 0, false});
    AddColumn(*lines, {"UnitPrice", "money", 8, 19, 4, false});
    FieldPtr lineTotal = AddColumn(*lines, {"LineTotal", "money", 8, 19, 4, true});
    lineTotal->Formula = QStringLiteral("([Quantity] * [UnitPrice])");
    AddPrimaryKey(db, *lines, QStringLiteral("PK_OrderLines"), {QStringLiteral("OrderID"), QStringLiteral("LineNumber")});
    AddIndex(db, *lines, QStringLiteral("IX_OrderLines_BookID"), {QStringLiteral("BookID")}, false, false);
    AddDefault(db, *lines, QStringLiteral("DF_OrderLines_Quantity"), QStringLiteral("Quantity"), QStringLiteral("(1)"));
    AddCheck(db, *lines, QStringLiteral("CK_OrderLines_Quantity"), QStringLiteral("([Quantity] > 0)"));
    Tovimar_Relation& lineOrder = AddRelation(db, *lines, QStringLiteral("FK_OrderLines_Orders"),
                                              {QStringLiteral("OrderID")}, *orders, {QStringLiteral("OrderID")});
    lineOrder.DeleteCascade = true;
    Tovimar_Relation& lineBook = AddRelation(db, *lines, QStringLiteral("FK_OrderLines_Books"),
                                             {QStringLiteral("BookID")}, *books, {QStringLiteral("BookID")});
    lineBook.NotForRepl = true;

    // ---- Views
    auto bookList = std::make_shared<Tovimar_View>();
    bookList->Owner = QStringLiteral("dbo");
    bookList->Name = QStringLiteral("BookList");
    bookList->ObjStatus = AnsiNullsAndQuoted;
    bookList->Definition = Lines({"CREATE VIEW dbo.BookList",
                                  "AS",
                                  "SELECT b.BookID, b.Title, a.LastName + ', ' + ISNULL(a.FirstName, '') AS Author, b.Price",
                                  "FROM dbo.Books b",
                                  "INNER JOIN dbo.Authors a ON a.AuthorID = b.AuthorID",
                                  ""});
    bookList->SetDatabase(&db);
    AddViewColumn(*bookList, {"BookID", "int", 4, 10, 0, false});
    AddViewColumn(*bookList, {"Title", "nvarchar", 400, 200, 0, false, CI});
    AddViewColumn(*bookList, {"Author", "nvarchar", 144, 72, 0, true, CI});
    AddViewColumn(*bookList, {"Price", "money", 8, 19, 4, false});
    db.Views.Add(bookList, bookList->FullName());
    bookList->CalcObjectIncluded();

    auto totals = std::make_shared<Tovimar_View>();
    totals->Owner = QStringLiteral("dbo");
    totals->Name = QStringLiteral("OrderTotals");
    totals->ObjStatus = AnsiNullsOnly;
    totals->Definition = Lines({"/* One row per order: its line count and total */",
                                "CREATE VIEW dbo.OrderTotals",
                                "AS",
                                "SELECT OrderID, COUNT(*) AS Lines, SUM(LineTotal) AS Total",
                                "FROM dbo.OrderLines",
                                "GROUP BY OrderID",
                                ""});
    totals->SetDatabase(&db);
    AddViewColumn(*totals, {"OrderID", "int", 4, 10, 0, false});
    AddViewColumn(*totals, {"Lines", "int", 4, 10, 0, true});
    AddViewColumn(*totals, {"Total", "money", 8, 19, 4, true});
    db.Views.Add(totals, totals->FullName());
    totals->CalcObjectIncluded();

    // ---- Procedures: GetBook is a numbered group (;1 by id, ;2 by ISBN)
    auto getBook = std::make_shared<Tovimar_Procedure>();
    getBook->Owner = QStringLiteral("dbo");
    getBook->Name = QStringLiteral("GetBook");
    getBook->ObjStatus = AnsiNullsAndQuoted;
    getBook->SetDefinition(1, Lines({"CREATE PROCEDURE dbo.GetBook",
                                     "\t@BookID int",
                                     "AS",
                                     "SELECT BookID, ISBN, Title, Price FROM dbo.Books WHERE BookID = @BookID",
                                     ""}));
    getBook->SetDefinition(2, Lines({"CREATE PROCEDURE dbo.GetBook;2",
                                     "\t@ISBN char(13)",
                                     "AS",
                                     "SELECT BookID, ISBN, Title, Price FROM dbo.Books WHERE ISBN = @ISBN",
                                     ""}));
    getBook->SetDatabase(&db);
    db.Procedures.Add(getBook, getBook->FullName());
    getBook->CalcObjectIncluded();

    auto addOrder = std::make_shared<Tovimar_Procedure>();
    addOrder->Owner = QStringLiteral("dbo");
    addOrder->Name = QStringLiteral("AddOrder");
    addOrder->ObjStatus = AnsiNullsAndQuoted;
    addOrder->SetDefinition(1, Lines({"-- Adds an order; returns its id in @OrderID",
                                      "CREATE PROCEDURE dbo.AddOrder",
                                      "\t@CustomerName nvarchar(60),",
                                      "\t@OrderID int OUTPUT",
                                      "AS",
                                      "SET NOCOUNT ON",
                                      "INSERT INTO dbo.Orders (CustomerName) VALUES (@CustomerName)",
                                      "SET @OrderID = SCOPE_IDENTITY()",
                                      ""}));
    addOrder->SetDatabase(&db);
    db.Procedures.Add(addOrder, addOrder->FullName());
    addOrder->CalcObjectIncluded();

    auto exportOrders = std::make_shared<Tovimar_Procedure>();
    exportOrders->Owner = QStringLiteral("dbo");
    exportOrders->Name = QStringLiteral("ExportOrders");
    exportOrders->ObjStatus = AnsiNullsOnly;
    exportOrders->SetDefinition(1, Lines({"CREATE PROCEDURE dbo.ExportOrders",
                                          "\t@Folder varchar(255) = '\\\\FILESERVER\\Exports\\'",
                                          "AS",
                                          "DECLARE @Command varchar(1000)",
                                          "SET @Command = 'bcp Bookshop.dbo.Orders out \"' + @Folder + 'orders.txt\" -c -T'",
                                          "EXEC master.dbo.xp_cmdshell @Command, no_output",
                                          ""}));
    exportOrders->SetDatabase(&db);
    db.Procedures.Add(exportOrders, exportOrders->FullName());
    exportOrders->CalcObjectIncluded();

    // ---- Function
    auto orderTotal = std::make_shared<Tovimar_Function>();
    orderTotal->Owner = QStringLiteral("dbo");
    orderTotal->Name = QStringLiteral("fn_OrderTotal");
    orderTotal->ObjStatus = AnsiNullsAndQuoted;
    orderTotal->Definition = Lines({"CREATE FUNCTION dbo.fn_OrderTotal (@OrderID int)",
                                    "RETURNS money",
                                    "AS",
                                    "BEGIN",
                                    "\t-- Sum of the order's lines; 0 when the order has none",
                                    "\tDECLARE @Total money",
                                    "\tSELECT @Total = SUM(LineTotal) FROM dbo.OrderLines WHERE OrderID = @OrderID",
                                    "\tRETURN ISNULL(@Total, 0)",
                                    "END",
                                    ""});
    orderTotal->SetDatabase(&db);
    db.Functions.Add(orderTotal, orderTotal->FullName());
    orderTotal->CalcObjectIncluded();

    // ---- Roles
    auto sales = std::make_shared<Tovimar_Role>();
    sales->Name = QStringLiteral("Sales");
    sales->MemberNames.Add(QStringLiteral("maria"));
    sales->MemberNames.Add(QStringLiteral("peter"));
    sales->SetDatabase(&db);
    db.Roles.Add(sales, sales->FullName());
    sales->CalcObjectIncluded();
    auto managers = std::make_shared<Tovimar_Role>();
    managers->Name = QStringLiteral("Managers");
    managers->MemberNames.Add(QStringLiteral("anna"));
    managers->MemberNames.Add(QStringLiteral("Sales"));
    managers->SetDatabase(&db);
    db.Roles.Add(managers, managers->FullName());
    managers->CalcObjectIncluded();

    // ---- Permissions
    Tovimar_Permission& authorsPublic = AddPermission(db, *authors, QStringLiteral("public"));
    authorsPublic.SelectRight = Granted;
    Tovimar_Permission& booksSales = AddPermission(db, *books, QStringLiteral("Sales"));
    booksSales.SelectRight = Granted;
    AddColumns(booksSales.UpdateGrant, {QStringLiteral("Price")});
    Tovimar_Permission& booksManagers = AddPermission(db, *books, QStringLiteral("Managers"));
    booksManagers.SelectRight = Granted;
    booksManagers.InsertRight = Granted;
    booksManagers.UpdateRight = Granted;
    booksManagers.DeleteRight = Granted;
    booksManagers.DRIRight = Granted;
    Tovimar_Permission& ordersSales = AddPermission(db, *orders, QStringLiteral("Sales"));
    ordersSales.SelectRight = Granted;
    ordersSales.InsertRight = Granted;
    ordersSales.UpdateRight = Granted;
    ordersSales.DeleteRight = Denied;
    Tovimar_Permission& linesSales = AddPermission(db, *lines, QStringLiteral("Sales"));
    AddColumns(linesSales.SelectGrant, {QStringLiteral("OrderID"), QStringLiteral("LineNumber"),
                                        QStringLiteral("BookID"), QStringLiteral("Quantity")});
    AddColumns(linesSales.SelectDeny, {QStringLiteral("UnitPrice")});
    AddColumns(linesSales.UpdateGrant, {QStringLiteral("Quantity")});
    AddColumns(linesSales.UpdateDeny, {QStringLiteral("UnitPrice")});
    AddColumns(linesSales.ReferenceGrant, {QStringLiteral("BookID")});
    AddColumns(linesSales.ReferenceDeny, {QStringLiteral("OrderID")});
    AddPermission(db, *bookList, QStringLiteral("public")).SelectRight = Granted;
    AddPermission(db, *getBook, QStringLiteral("public")).ExecRight = Granted;
    AddPermission(db, *addOrder, QStringLiteral("Sales")).ExecRight = Granted;
    AddPermission(db, *exportOrders, QStringLiteral("Sales")).ExecRight = Denied;
    AddPermission(db, *orderTotal, QStringLiteral("Sales")).ExecRight = Granted;

    // ---- Full-text catalog
    auto catalog = std::make_shared<Tovimar_Catalog>();
    catalog->Name = QStringLiteral("BookshopCatalog");
    catalog->SetDatabase(&db);
    db.Catalogs.Add(catalog, catalog->FullName());
    catalog->CalcObjectIncluded();
}
