AppDef = object
