-- The table the harvester fills: the food's name, then its 24 nutrient amounts in the order of
-- the window's columns (the record page's table read column by column). All text.
CREATE TABLE IF NOT EXISTS food (
  name TEXT,
  n01 TEXT, n02 TEXT, n03 TEXT, n04 TEXT, n05 TEXT, n06 TEXT, n07 TEXT, n08 TEXT,
  n09 TEXT, n10 TEXT, n11 TEXT, n12 TEXT, n13 TEXT, n14 TEXT, n15 TEXT, n16 TEXT,
  n17 TEXT, n18 TEXT, n19 TEXT, n20 TEXT, n21 TEXT, n22 TEXT, n23 TEXT, n24 TEXT
);
