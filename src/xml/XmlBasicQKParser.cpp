// XML documents layer (being written).
