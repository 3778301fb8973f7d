-- The store's item table on the remote item database.
CREATE TABLE item (
    id INT NOT NULL AUTO_INCREMENT,
    CV_itemid INT NULL,
    SKU VARCHAR(255) NULL,
    Description TEXT NULL,
    Retail DECIMAL(12,2) NULL,
    auction_until_unix INT NULL DEFAULT 0,
    storeid VARCHAR(64) NULL,
    PRIMARY KEY (id),
    KEY item_store_itemid (storeid, CV_itemid),
    KEY item_sku (SKU)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
