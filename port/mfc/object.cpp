// Filled in by the MFC subset's work.
