// Filled in by the utilities' work.
