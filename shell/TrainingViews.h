// What the training registry tells the windows that show its trainings: the row window and the
// stroke-data and force-curve windows implement this beside their QWidget base.
#pragma once

class TTrainingViews {
public:
    virtual ~TTrainingViews() = default;
    // Trainings were opened or closed; changed is false when only their order or names may
    // have changed.
    virtual void TrainingListChanged(bool changed) = 0;
    // The contents of trainings changed: re-read the shown ones.
    virtual void RefreshTrainingViews() = 0;
    // The training with this id is closing.
    virtual void TrainingClosed(int id) = 0;
};
