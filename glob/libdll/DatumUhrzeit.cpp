// Filled in by the date and time work.
