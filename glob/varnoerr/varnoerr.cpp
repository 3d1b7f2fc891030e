// Filled in by the error-reporting library's work.
