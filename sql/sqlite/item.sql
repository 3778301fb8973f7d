-- The store's item table on the remote item database.
CREATE TABLE item (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    CV_itemid INTEGER NULL,
    SKU TEXT NULL,
    Description TEXT NULL,
    Retail NUMERIC NULL,
    auction_until_unix INTEGER NULL DEFAULT 0,
    storeid TEXT NULL
);
CREATE INDEX item_store_itemid ON item (storeid, CV_itemid);
CREATE INDEX item_sku ON item (SKU);
