#include "model/model_record.h"

ModelRecord::~ModelRecord() = default;
