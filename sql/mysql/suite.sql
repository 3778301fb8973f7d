-- The suite's local tables that this program reads.
CREATE TABLE item (
    internalitemnumber INT NOT NULL,
    Item_PictureName VARCHAR(255) NULL,
    item_partnumber VARCHAR(255) NULL,
    SupplierItemNumber VARCHAR(255) NULL,
    PRIMARY KEY (internalitemnumber)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE employees (
    EmployeeID INT NOT NULL,
    FedTax DOUBLE NULL,
    FedName VARCHAR(255) NULL,
    ProTax DOUBLE NULL,
    ProName VARCHAR(255) NULL,
    SMSDiscount DOUBLE NULL,
    SMSRetailValue DOUBLE NULL,
    SMSReturnValue DOUBLE NULL,
    SMSDayEndPhone VARCHAR(64) NULL,
    SMSDiscountPhone VARCHAR(64) NULL,
    SMSItemDeletePhone VARCHAR(64) NULL,
    SMSLogInLogOutPhone VARCHAR(64) NULL,
    SMSRetailValuePhone VARCHAR(64) NULL,
    SMSReturnValuePhone VARCHAR(64) NULL,
    PRIMARY KEY (EmployeeID)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
