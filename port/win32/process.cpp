// Filled in by its stand-in's work.
