// Keeps the test support library non-empty until the PDF builder lands.
