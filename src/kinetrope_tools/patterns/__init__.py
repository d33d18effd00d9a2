"""The patterns as data: one period as an array, the catalogue by name and family, packs and exports."""
