// Filled in by the settings store's work.
