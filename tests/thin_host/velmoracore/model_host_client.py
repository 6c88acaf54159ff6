ModelHostClient = ModelHostUrlResolver = object
