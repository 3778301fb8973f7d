-- The suite's local tables that this program reads.
CREATE TABLE item (
    internalitemnumber INTEGER PRIMARY KEY,
    Item_PictureName TEXT NULL,
    item_partnumber TEXT NULL,
    SupplierItemNumber TEXT NULL
);

CREATE TABLE employees (
    EmployeeID INTEGER PRIMARY KEY,
    FedTax REAL NULL,
    FedName TEXT NULL,
    ProTax REAL NULL,
    ProName TEXT NULL,
    SMSDiscount REAL NULL,
    SMSRetailValue REAL NULL,
    SMSReturnValue REAL NULL,
    SMSDayEndPhone TEXT NULL,
    SMSDiscountPhone TEXT NULL,
    SMSItemDeletePhone TEXT NULL,
    SMSLogInLogOutPhone TEXT NULL,
    SMSRetailValuePhone TEXT NULL,
    SMSReturnValuePhone TEXT NULL
);
