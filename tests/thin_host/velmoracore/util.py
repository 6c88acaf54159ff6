NumberFormatUtil = object
